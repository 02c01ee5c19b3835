#include "app/stored_controls.h"

#include "app/config_dlg.h"

namespace {
template <typename Map> typename Map::mapped_type Find(const Map& map, int id) {
    const auto found = map.find(id);
    return found == map.end() ? typename Map::mapped_type() : found->second;
}
} // namespace

bool CStoredControls::IsChecked(int id) const {
    return Find(Checked, id);
}

std::string CStoredControls::Text(int id) const {
    return Find(Texts, id);
}

void CStoredControls::SetText(int id, const std::string& text) {
    Texts[id] = text;
    if (Handler)
        Handler->OnTextChanged(id);
}

bool CStoredControls::IsEnabled(int id) const {
    return !Find(Disabled, id);
}

void CStoredControls::ClearList(int id) {
    Lists.erase(id);
    Selected.erase(id);
}

std::string CStoredControls::SelectedListText(int id) const {
    const std::vector<std::string> entries = Find(Lists, id);
    const auto index = Selected.find(id);
    if (index == Selected.end() || index->second < 0 ||
        index->second >= static_cast<int>(entries.size()))
        return std::string();
    return entries[static_cast<std::size_t>(index->second)];
}
