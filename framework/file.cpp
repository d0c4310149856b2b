#include "framework/afxwin.h"

void CFileException::SetOsError(LONG lOsError)
{
    m_lOsError = lOsError;
    switch (lOsError) {
    case ERROR_SUCCESS: m_cause = none; break;
    case ERROR_FILE_NOT_FOUND: m_cause = fileNotFound; break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: m_cause = badPath; break;
    case ERROR_ACCESS_DENIED: m_cause = accessDenied; break;
    case ERROR_SHARING_VIOLATION: m_cause = sharingViolation; break;
    case ERROR_LOCK_VIOLATION: m_cause = lockViolation; break;
    case ERROR_HANDLE_EOF: m_cause = endOfFile; break;
    default: m_cause = genericException; break;
    }
}

namespace {
[[noreturn]] void ThrowOsError(DWORD dwError)
{
    auto* e = new CFileException;
    e->SetOsError(static_cast<LONG>(dwError));
    throw e;
}
}  // namespace

CFile::~CFile() { Abort(); }

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags, CFileException* pError)
{
    // The launcher only ever reads; other modes are not offered.
    DWORD dwShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (nOpenFlags & shareDenyWrite)
        dwShare = FILE_SHARE_READ;
    m_hFile = CreateFileA(lpszFileName, GENERIC_READ, dwShare, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE) {
        if (pError != nullptr)
            pError->SetOsError(static_cast<LONG>(GetLastError()));
        return FALSE;
    }
    return TRUE;
}

ULONGLONG CFile::GetLength() const
{
    // GetFileSize, not GetFileSizeEx: Windows 95 has only the former. A size
    // whose low half is all ones is told from a failure by the error code,
    // which a success leaves alone.
    DWORD dwHigh = 0;
    SetLastError(NO_ERROR);
    const DWORD dwLow = GetFileSize(m_hFile, &dwHigh);
    if (dwLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        ThrowOsError(GetLastError());
    return (static_cast<ULONGLONG>(dwHigh) << 32) | dwLow;
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    if (nCount == 0)
        return 0;
    DWORD dwRead = 0;
    if (!ReadFile(m_hFile, lpBuf, nCount, &dwRead, nullptr))
        ThrowOsError(GetLastError());
    return dwRead;
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}
