#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <unistd.h>

TempDirectory::TempDirectory(const std::string& tag)
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::filesystem::temp_directory_path() /
             ("flexherd-" + tag + "-" + std::to_string(getpid()) + "-" + (test ? test->name() : "none"));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

TempDirectory::~TempDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}
