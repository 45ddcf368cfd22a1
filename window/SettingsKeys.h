#pragma once

namespace quorvane::keys {

// Where the window keeps its choices between runs. The names are shared with earlier
// releases of the program, so they must never change.
inline constexpr const char* kApplication = "Harvex";

inline constexpr const char* kProgram = "program";
inline constexpr const char* kShellNotepad = "shellnotepad";
inline constexpr const char* kNumberedList = "numberedlist";
inline constexpr const char* kDateCreated = "datecreated";
inline constexpr const char* kRemExt = "chkremext";
inline constexpr const char* kRemUnderscore = "chkremunderscore";
inline constexpr const char* kRemHyphen = "chkremhyphen";
inline constexpr const char* kOptCase = "OptCaseInteger";
// The commands of the Options menu: "1" on, "0" off; absent is off.
inline constexpr const char* kDocumentText = "DocumentText";
inline constexpr const char* kWordRule = "WordRule";

inline constexpr const char* kPaths = "paths";
inline constexpr const char* kBrowsePath = "browsepath";

}  // namespace quorvane::keys
