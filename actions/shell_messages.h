// The text the launcher shows when the shell refuses to open a web address,
// one fixed text per result code.
#pragma once

#include <cstdint>

// Null for a result above 32, which means the shell did open the address.
// The texts stand exactly as the user has always seen them, the missing full
// stop and the trailing space included.
inline const char* ShellErrorMessage(int32_t result)
{
    if (result > 32)
        return nullptr;
    switch (result) {
    case 0: return "The operating system is out of memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found";
    case 5: return "The operating system denied access to the specified file. ";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred.";
    case 27:
        return "The filename association is incomplete or invalid.\r\n"
               "(You need to have a default Internet browser installed)";
    case 28: return "The DDE transaction could not be completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30:
        return "The DDE transaction could not be completed because other DDE transactions "
               "were being processed.";
    case 31: return "There is no application associated with the given file name extension.";
    case 32: return "The specified dynamic-link library was not found.";
    default: return "Unable to jump to URL.";
    }
}
