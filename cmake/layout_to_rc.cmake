# Writes the Windows resource script from the window's layout table, so that the layout
# keeps one source: the main dialog (template 102), its tooltips as a string table keyed
# by control identifier, the About box (template 100), the icon (resource 128) and the
# application manifest.
# cmake -DLAYOUT=... -DICON=... -DMANIFEST=... -DVERSION=... -DOUTPUT=... -P layout_to_rc.cmake
cmake_minimum_required(VERSION 3.22)
file(STRINGS "${LAYOUT}" lines ENCODING UTF-8)

function(rc_text out text)
  string(REPLACE "\\n" "\n" text "${text}")
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

set(controls "")
set(tips "")
foreach(line IN LISTS lines)
  if(line MATCHES "^#" OR line STREQUAL "")
    continue()
  endif()
  string(REPLACE ";" "\\;" line "${line}")
  string(REPLACE "\t" ";" fields "${line}")
  list(GET fields 0 id)
  if(id STREQUAL "window")
    list(GET fields 1 template)
    list(GET fields 2 width)
    list(GET fields 3 height)
    list(GET fields 4 caption)
    continue()
  endif()
  list(LENGTH fields count)
  list(GET fields 1 kind)
  list(GET fields 2 x)
  list(GET fields 3 y)
  list(GET fields 4 w)
  list(GET fields 5 h)
  set(text "")
  set(tip "")
  if(count GREATER 6)
    list(GET fields 6 text)
  endif()
  if(count GREATER 7)
    list(GET fields 7 tip)
  endif()
  if(id STREQUAL "-")
    set(id "-1")
  endif()
  if(kind STREQUAL "check")
    set(class "Button")
    set(style "BS_AUTOCHECKBOX | WS_TABSTOP")
  elseif(kind STREQUAL "button")
    set(class "Button")
    set(style "BS_PUSHBUTTON | BS_MULTILINE | WS_TABSTOP")
  elseif(kind STREQUAL "edit")
    set(class "Edit")
    set(style "ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP")
  elseif(kind STREQUAL "list")
    set(class "ComboBox")
    set(style "CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP")
  elseif(kind STREQUAL "sorted-list")
    set(class "ComboBox")
    set(style "CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP")
  elseif(kind STREQUAL "group")
    set(class "Button")
    set(style "BS_GROUPBOX")
  else()
    set(class "Static")
    set(style "SS_LEFT")
  endif()
  rc_text(quoted "${text}")
  string(APPEND controls
    "    CONTROL ${quoted}, ${id}, \"${class}\", ${style}, ${x}, ${y}, ${w}, ${h}\n")
  if(NOT tip STREQUAL "")
    rc_text(quoted "${tip}")
    string(APPEND tips "    ${id}, ${quoted}\n")
  endif()
endforeach()

rc_text(caption_text "${caption}")
rc_text(about_caption "About ${caption}")
rc_text(about_version "Version ${VERSION}")
file(WRITE "${OUTPUT}" "// Generated from main_window.layout; do not edit.
#include <windows.h>

1 RT_MANIFEST \"${MANIFEST}\"
128 ICON \"${ICON}\"

// Without WS_VISIBLE: the window shows itself once initialised, and a batch run that ends
// in its initialisation never shows it.
${template} DIALOGEX 0, 0, ${width}, ${height}
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
EXSTYLE WS_EX_APPWINDOW
CAPTION ${caption_text}
FONT 8, \"MS Sans Serif\"
BEGIN
${controls}END

100 DIALOGEX 0, 0, 220, 62
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION ${about_caption}
FONT 8, \"MS Sans Serif\"
BEGIN
    ICON 128, -1, 10, 10, 21, 20
    LTEXT ${caption_text}, -1, 42, 10, 170, 8
    LTEXT ${about_version}, -1, 42, 22, 170, 8
    DEFPUSHBUTTON \"OK\", IDOK, 162, 40, 50, 14
END

STRINGTABLE
BEGIN
${tips}END
")
