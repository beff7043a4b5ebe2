#pragma once
// keyloupe-jet run in-process, its output taken apart, and a GoogleTest fixture with a private
// temporary folder for the files it makes.
#include "keyloupe-jet/JetTool.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kltest {

using jettool::run;

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

// input is the tool's standard input; the tests never give it a terminal to prompt on.
inline ToolResult runTool(const std::vector<std::string>& args, const std::string& input = {}) {
    std::ostringstream out, err;
    std::istringstream in(input);
    ToolResult result;
    result.status = run(args, out, err, in);
    result.out = out.str();
    result.err = err.str();
    return result;
}

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

// The dump lines of one object, in output order.
inline std::vector<std::string> objectLines(const std::string& dump, const std::string& container,
                                            const std::string& object) {
    std::vector<std::string> lines;
    const std::string head = container + "\t" + object + "\t";
    for (const std::string& line : splitLines(dump))
        if (line.compare(0, head.size(), head) == 0) lines.push_back(line);
    return lines;
}

// The dump line of one (object, account), or "" when there is none.
inline std::string accountLine(const std::string& dump, const std::string& container,
                               const std::string& object, const std::string& account) {
    for (const std::string& line : objectLines(dump, container, object))
        if (splitTabs(line).at(3) == account) return line;
    return "";
}

class TempDirTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.file(name); }

    TempDir dir_;
};

} // namespace kltest
