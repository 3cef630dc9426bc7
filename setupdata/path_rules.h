// The one rule for names and paths that the setup writes below a folder: the
// release builder refuses what breaks it, and the installer refuses the same
// at run time. Names are GBK bytes (code page 936); the second byte of a
// double-byte character is never taken for an ASCII character.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tavix {

// Why one level of a path (a folder or file name between backslashes) cannot
// be written on Windows as it is spelled. The first problem found, in this
// order, is reported.
enum class LevelProblem {
    kNone,
    kEmpty,               // "": two backslashes in a row, or one at an end
    kNotGbk,              // a byte that is no part of well-formed GBK text
    kControlCharacter,    // a byte 0x00 to 0x1F
    kForbiddenCharacter,  // < > : " / \ | ? * outside a double-byte character
    kDotsOnly,            // ".", "..", "...": this or a parent folder
    kEndsInDot,           // "Data.", "Lite.dat.": Windows drops the dot
    kEndsInBlank,         // "Data ", " ": Windows drops the blank
    kDeviceName,          // CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$,
                          // any letter case, with any extension ("aux.txt")
    kTooLong,             // more than kMaxLevelChars characters
};

// The most characters one level may have (NTFS and FAT32).
constexpr std::size_t kMaxLevelChars = 255;

LevelProblem CheckPathLevel(std::string_view level);

// What the problem means, in English, to follow the level's name:
// "ends in a dot, which Windows drops from a name". Empty for kNone.
const char* LevelProblemText(LevelProblem problem);

// Why a manifest target path cannot be installed: it must be relative, with
// "\" between levels, no drive, no leading "\", and every level passing
// CheckPathLevel.
struct TargetPathProblem {
    enum Kind {
        kNone,
        kEmpty,             // the path is empty
        kLeadingBackslash,  // "\Options.ini", "\\server\share"
        kDrive,             // "C:\x", "C:x"
        kBadLevel,          // a level fails CheckPathLevel: `level`, `levelText`
    };
    Kind kind = kNone;
    LevelProblem level = LevelProblem::kNone;
    std::string levelText;  // the level at fault (GBK), for kBadLevel

    explicit operator bool() const { return kind != kNone; }
};

TargetPathProblem CheckTargetPath(std::string_view targetPath);

// English text of a target path's problem, to follow "the target path ":
// "has a level "aux.txt" that is a device name of Windows (...)". The level is
// quoted as its GBK bytes. Empty when there is no problem.
std::string TargetPathProblemText(const TargetPathProblem& problem);

// The key under which two targets are the same file on Windows: ASCII letters
// and the letters of GBK's full-width Latin, Greek, Cyrillic and Roman-numeral
// rows in one case (Windows file names ignore case for all of them), every
// other double-byte character as it is. Meant for paths that pass
// CheckTargetPath.
std::string TargetCollisionKey(std::string_view targetPath);

// ---- lengths ------------------------------------------------------------------

// Characters of GBK text as Windows counts them in a path: a double-byte
// character converts to one UTF-16 unit, as every single byte does.
std::size_t GbkCharCount(std::string_view text);

// The longest full path a file may have (MAX_PATH less the terminating NUL),
// and the longest a folder may have (folder creation keeps room for an 8.3
// file name: it must stay below 248 characters).
constexpr std::size_t kMaxPathChars = 259;
constexpr std::size_t kMaxFolderChars = 247;

enum class PathLength {
    kFits,
    kPathTooLong,    // folder + "\" + target > kMaxPathChars
    kFolderTooLong,  // folder + "\" + the target's folder part > kMaxFolderChars
};

// Whether `targetPath` fits below the installation folder `folder` (given
// without a trailing backslash, as [SetupDir] SetupPath holds it).
PathLength CheckTargetLength(std::string_view folder, std::string_view targetPath);

// ---- names from the control file ------------------------------------------------

// A file name with no folder part: one level that passes CheckPathLevel (so no
// "\", "/", ":" and no ".."). [Run] FileName must be one, because the main
// program is written before any folder exists.
bool IsPlainFileName(std::string_view name);

// [Form] desKtopLink: one leading "\" and then a plain file name that ends in
// ".lnk" (letter case ignored) and has something before it.
bool IsDesktopLinkName(std::string_view value);

} // namespace tavix
