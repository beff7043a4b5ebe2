#include "JetTool.h"

#include "CommandTable.h"
#include "Options.h"

#include "com/Status.h"

#include <exception>

namespace jettool {

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        Invocation invocation = parseArguments(args);
        int status = 0;
        if (invocation.help)
            printHelp(out);
        else if (invocation.command->statusHandler)
            status = invocation.command->statusHandler(invocation, out);
        else
            invocation.command->handler(invocation, out);
        out.flush();
        return status;
    } catch (const com::ComError& e) {
        err << ProgramName << ": " << com::errorMessage(e.status(), e.description()) << '\n';
    } catch (const std::exception& e) {
        err << ProgramName << ": " << e.what() << '\n';
    }
    return 1;
}

} // namespace jettool
