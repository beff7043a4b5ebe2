#include "support/TempDir.h"

#include <cstdlib>
#include <stdexcept>

namespace kltest {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "keyloupe-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

} // namespace kltest
