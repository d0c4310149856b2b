// The text the launcher shows when the shell refuses to open a web address,
// one fixed text per result code.
#pragma once

#include <cstdint>

// Each fixed message, which a disc's identity may put in its own language
// (a key of the identity file for each, named after what it says).
enum ShellMessage {
    kOutOfResources,
    kFileNotFound,
    kPathNotFound,
    kAccessDenied,
    kNotEnoughMemory,
    kInvalidExe,
    kSharingViolation,
    kAssociationIncomplete,
    kDdeTimedOut,
    kDdeFailed,
    kDdeBusy,
    kNoAssociation,
    kDllNotFound,
    kUnableToJump,
    // A result above 32: the shell did open the address.
    kNoShellMessage
};

inline ShellMessage ShellErrorMessageOf(int32_t result)
{
    if (result > 32)
        return kNoShellMessage;
    switch (result) {
    case 0: return kOutOfResources;
    case 2: return kFileNotFound;
    case 3: return kPathNotFound;
    case 5: return kAccessDenied;
    case 8: return kNotEnoughMemory;
    case 11: return kInvalidExe;
    case 26: return kSharingViolation;
    case 27: return kAssociationIncomplete;
    case 28: return kDdeTimedOut;
    case 29: return kDdeFailed;
    case 30: return kDdeBusy;
    case 31: return kNoAssociation;
    case 32: return kDllNotFound;
    default: return kUnableToJump;
    }
}

// The English text of each message, in their order, exactly as the user has
// always seen it, the missing full stop and the trailing space included.
constexpr const char* kShellMessageTexts[kNoShellMessage] = {
    "The operating system is out of memory or resources.",
    "The specified file was not found.",
    "The specified path was not found",
    "The operating system denied access to the specified file. ",
    "There was not enough memory to complete the operation.",
    "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).",
    "A sharing violation occurred.",
    "The filename association is incomplete or invalid.\r\n"
    "(You need to have a default Internet browser installed)",
    "The DDE transaction could not be completed because the request timed out.",
    "The DDE transaction failed.",
    "The DDE transaction could not be completed because other DDE transactions "
    "were being processed.",
    "There is no application associated with the given file name extension.",
    "The specified dynamic-link library was not found.",
    "Unable to jump to URL.",
};

// Null for kNoShellMessage.
inline const char* ShellMessageText(ShellMessage nMessage)
{
    return nMessage < kNoShellMessage ? kShellMessageTexts[nMessage] : nullptr;
}

// Null for a result above 32, which means the shell did open the address.
inline const char* ShellErrorMessage(int32_t result)
{
    return ShellMessageText(ShellErrorMessageOf(result));
}
