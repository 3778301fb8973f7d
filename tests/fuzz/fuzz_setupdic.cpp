#include "FuzzSupport.h"
#include "data/frmadoHelper.h"
#include "settings/GetSetupDICfile.h"

#include <memory>

namespace {
// One installation folder for the whole run. Its suite database is a file that
// does not exist: the employee queries fail at once and the reader goes on.
frmadoHelper& helper()
{
    static std::unique_ptr<frmadoHelper> instance = [] {
        const Installation installation(veskfuzz::scratchDir());
        veskfuzz::writeFile(installation.connectionsFile(), "[suite]\nsqlite=absent.sqlite\n");
        return std::make_unique<frmadoHelper>(installation);
    }();
    return *instance;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    veskfuzz::startApplication();
    helper();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    frmadoHelper& h = helper();
    veskfuzz::writeFile(h.installation().setupDicFile(), veskfuzz::bytes(data, size));
    GetSetupDICfile(h, [](const QString&) {});
    return 0;
}
