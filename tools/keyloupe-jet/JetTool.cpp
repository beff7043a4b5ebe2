#include "JetTool.h"

#include "CommandTable.h"
#include "Options.h"

#include "com/Status.h"

#include <exception>

namespace jettool {

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        Invocation invocation = parseArguments(args);
        if (invocation.help) {
            printHelp(out);
        } else {
            invocation.command->handler(invocation, out);
        }
        out.flush();
        return 0;
    } catch (const com::ComError& e) {
        err << ProgramName << ": " << com::errorMessage(e.status(), e.description()) << '\n';
    } catch (const std::exception& e) {
        err << ProgramName << ": " << e.what() << '\n';
    }
    return 1;
}

} // namespace jettool
