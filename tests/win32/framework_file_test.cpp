// CFile on real files of the Wine prefix: opening and its failures, lengths
// and reads, read errors as exceptions, closing.
#include "framework/afxwin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A folder of its own for each test, with a 100-byte file of known content.
class framework_file : public testing::Test {
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        GetTempPathA(sizeof szTemp, szTemp);
        m_dir = std::string(szTemp) + testing::UnitTest::GetInstance()->current_test_info()->name() +
                " " + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr));
        m_path = m_dir + "\\data.bin";
        for (int i = 0; i < 100; ++i)
            m_content.push_back(static_cast<char>(i * 7 + 1));
        HANDLE h = CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD dwWritten = 0;
        WriteFile(h, m_content.data(), static_cast<DWORD>(m_content.size()), &dwWritten, nullptr);
        CloseHandle(h);
        ASSERT_EQ(m_content.size(), dwWritten);
    }
    void TearDown() override
    {
        DeleteFileA(m_path.c_str());
        RemoveDirectoryA(m_dir.c_str());
    }

    std::string m_dir;
    std::string m_path;
    std::string m_content;
};

TEST_F(framework_file, OpenReportsWhyItFailed)
{
    struct {
        std::string path;
        int nCause;
        LONG lOsError;
    } const cases[] = {
        {m_dir + "\\missing.bin", CFileException::fileNotFound, ERROR_FILE_NOT_FOUND},
        {m_dir + "\\no such folder\\data.bin", CFileException::badPath, ERROR_PATH_NOT_FOUND},
        // A folder is not a file to read.
        {m_dir, CFileException::accessDenied, ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        CFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(c.path.c_str(), CFile::modeRead | CFile::shareDenyWrite, &error));
        EXPECT_EQ(c.nCause, error.m_cause);
        EXPECT_EQ(c.lOsError, error.m_lOsError);
        EXPECT_EQ(INVALID_HANDLE_VALUE, file.m_hFile);
        // Without a place to report to, the result alone says it.
        CFile quiet;
        EXPECT_FALSE(quiet.Open(c.path.c_str(), CFile::modeRead));
    }
}

TEST_F(framework_file, ShareDenyWriteRefusesAFileSomeoneIsWriting)
{
    struct {
        DWORD dwOtherAccess;
        UINT nOpenFlags;
        BOOL bOpens;
    } const cases[] = {
        {GENERIC_WRITE, CFile::modeRead | CFile::shareDenyWrite, FALSE},
        {GENERIC_READ, CFile::modeRead | CFile::shareDenyWrite, TRUE},
        // Without shareDenyWrite a writer elsewhere is tolerated.
        {GENERIC_WRITE, CFile::modeRead, TRUE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dwOtherAccess == GENERIC_WRITE ? "writer" : "reader");
        HANDLE hOther = CreateFileA(m_path.c_str(), c.dwOtherAccess, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, hOther);
        CFile file;
        CFileException error;
        EXPECT_EQ(c.bOpens, file.Open(m_path.c_str(), c.nOpenFlags, &error));
        if (!c.bOpens) {
            EXPECT_EQ(CFileException::sharingViolation, error.m_cause);
            EXPECT_EQ(ERROR_SHARING_VIOLATION, error.m_lOsError);
        } else {
            char ch = 0;
            EXPECT_EQ(1u, file.Read(&ch, 1));
            EXPECT_EQ(m_content[0], ch);
        }
        CloseHandle(hOther);
    }
}

TEST_F(framework_file, LengthLeavesThePositionAndReadsEndShortAtTheEnd)
{
    CFile file;
    ASSERT_TRUE(file.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
    char buf[256];
    ASSERT_EQ(10u, file.Read(buf, 10));
    EXPECT_EQ(m_content.substr(0, 10), std::string(buf, 10));

    EXPECT_EQ(100u, file.GetLength());
    ASSERT_EQ(10u, file.Read(buf, 10));
    EXPECT_EQ(m_content.substr(10, 10), std::string(buf, 10));

    // Nothing asked, nothing read, and the position stays.
    EXPECT_EQ(0u, file.Read(buf, 0));
    EXPECT_EQ(0u, file.Read(nullptr, 0));
    // The rest is shorter than asked for; after it, nothing.
    ASSERT_EQ(80u, file.Read(buf, sizeof buf));
    EXPECT_EQ(m_content.substr(20), std::string(buf, 80));
    EXPECT_EQ(0u, file.Read(buf, sizeof buf));
    EXPECT_EQ(100u, file.GetLength());
}

TEST_F(framework_file, AReadErrorRaisesAFileException)
{
    // Handles the system refuses to read from: a file opened for writing
    // only, and an event, which is no file at all.
    struct {
        const char* pszWhat;
        HANDLE hHandle;
        int nCause;
    } const cases[] = {
        {"a file for writing",
         CreateFileA(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr),
         CFileException::accessDenied},
        {"an event", CreateEventA(nullptr, TRUE, FALSE, nullptr), CFileException::genericException},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        CFile file;
        file.m_hFile = c.hHandle;
        ASSERT_NE(INVALID_HANDLE_VALUE, file.m_hFile);
        ASSERT_NE(nullptr, file.m_hFile);
        char buf[16];
        int nCause = -1;
        LONG lOsError = 0;
        try {
            file.Read(buf, sizeof buf);
        } catch (CFileException* e) {
            nCause = e->m_cause;
            lOsError = e->m_lOsError;
            e->Delete();
        }
        EXPECT_EQ(c.nCause, nCause);
        EXPECT_NE(0, lOsError);
    }
}

// Whether another program could delete the file now: not while CFile holds
// it, for it shares no deleting.
BOOL Deletable(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    CloseHandle(h);
    return TRUE;
}

TEST_F(framework_file, AbortAndTheDestructorClose)
{
    {
        CFile file;
        ASSERT_TRUE(file.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
        EXPECT_FALSE(Deletable(m_path));
        file.Abort();
        EXPECT_EQ(INVALID_HANDLE_VALUE, file.m_hFile);
        EXPECT_TRUE(Deletable(m_path));
        file.Abort();  // a second time is harmless
    }
    {
        CFile file;
        ASSERT_TRUE(file.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
        EXPECT_FALSE(Deletable(m_path));
    }
    EXPECT_TRUE(DeleteFileA(m_path.c_str()));
}

}  // namespace
