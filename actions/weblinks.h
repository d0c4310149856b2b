#pragma once

// Opens a web address through the shell; a refusal is explained in a message
// box, one text per result. Returns the shell's result.
int OpenWebLink(const char* pszAddress);
