#include "scripted_dialogs.h"

void PrintTo(const ShownMessage& m, std::ostream* out) {
    *out << "{\"" << m.Text << "\", \"" << m.Caption << "\", " << int(m.Buttons) << ", "
         << int(m.Icon) << "}";
}
