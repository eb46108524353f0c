// The rules of the language texts that need no window: which [String] key belongs to
// a control, how a text read from a language file is cut and how "\n" turns into a
// line break, and how a control's width follows its new text. The Windows side
// (ui/Localization.h) reads the file, measures and moves the controls.
#pragma once
#include <optional>
#include <string>

namespace vantor {

// A language text holds at most this many characters; a longer one is cut.
constexpr std::size_t kLangTextChars = 999;

// The [String] key of a dialog control: entry (id modulo 100) of the control key
// table. Null for the table's empty entries, for an index of 16 or more, and for a
// negative id (a label without an id of its own, -1), which no entry belongs to.
const wchar_t* ControlLangKey(int nControlId);

// "IDD102_Title" for template 102: the key of a dialog's window text.
std::wstring DialogTitleLangKey(int nTemplateId);

// A text as read from the language file, cut to kLangTextChars characters. A cut that
// would split a UTF-16 surrogate pair leaves out its first half too.
std::wstring CutLangText(std::wstring strText);

// Every backslash followed by the letter n, taken left to right, becomes a line feed
// ("a\\nb" keeps the first backslash and breaks the line after it).
std::wstring ExpandLangLineBreaks(const std::wstring& strText);

// The width a control gets for a text nTextWidth wide, or nothing when it keeps its
// width. A label (window class "STATIC" in any case) always takes the text's width,
// narrower or wider; any other control only grows to it.
std::optional<int> LocalizedControlWidth(const std::wstring& strClassName, int nWidth, int nTextWidth);

}  // namespace vantor
