// keyloupe-jet sandbox: a sandbox copy of a genuine pair, for planning changes to it.
#include "keyloupe-jet/Commands.h"
#include "keyloupe-jet/Options.h"

#include "plan/Sandbox.h"
#include "security/SafeText.h"

namespace jettool {

void cmdSandbox(const Invocation& inv, std::ostream& out) {
    const plan::OriginRecord origin =
        plan::ImportSandbox(*inv.global.workgroup, inv.arg(0), inv.global.user, inv.arg(1));
    const plan::SandboxPaths made = plan::SandboxPathsIn(inv.arg(1), *inv.global.workgroup, inv.arg(0));
    out << StripIsolates(plan::SandboxLabel(origin)) << " written: " << VisibleText(made.workgroup) << ", "
        << VisibleText(made.database) << '\n'
        << "every account in it has the empty password; log in as " << VisibleText(origin.user) << '\n';
}

} // namespace jettool
