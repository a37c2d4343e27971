// The simulated tuner as an in-process COM server, so that the real quorvex.exe can run its whole
// success path under Wine: the DVB-T network provider, tuning space and locator, the MPEG-2
// demultiplexer and the tuner's driver filters, over the same model as the Linux stand-ins.
//
// A TEST FIXTURE ONLY. Register it in a scratch Wine prefix and nowhere else, never on a real
// Windows machine: it serves the system's own class ids (CLSID_DVBTNetworkProvider,
// CLSID_DVBTuningSpace, CLSID_DVBTLocator, CLSID_MPEG2Demultiplexer) and would shadow the real
// components. It deliberately has no DllRegisterServer; simtuner.reg is its registration.
//
// QUORVEX_SIM and QUORVEX_SIM_SEED choose the scenario as on Linux. QUORVEX_SIM_LOG names a file
// that receives the call log as it happens and, whenever COM asks whether the server may go, the
// objects it handed out that are still alive.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/tuning/model/test_world.h"
#include "platform/tuning/simulated/scenarios.h"
#include "platform/tuning/win32dll/objects.h"

bool answers_to(REFIID iid, IClassFactory *) { return iid == IID_IClassFactory; }

// tuner.h declares it, but MinGW's import libraries lack it; a locator answers to it.
extern "C" const IID IID_IDigitalLocator = {
    0x19b595d8, 0x839a, 0x47f0, {0x96, 0xdf, 0x4f, 0x19, 0x4f, 0x3c, 0x76, 0x8c}};

namespace tuning {

namespace {

// The driver's filters are reached only through the device enumerator; simtuner.reg lists these.
const CLSID CLSID_SimTunerFilter = {0x254a5529, 0x7413, 0x4d59, {0xb1, 0xce, 0x32, 0x77, 0xb7, 0x1d, 0xd7, 0x83}};
const CLSID CLSID_SimCaptureFilter = {0x32f7eb93, 0x43c8, 0x46bd, {0xa2, 0xd2, 0x98, 0x05, 0x94, 0xbb, 0x29, 0x17}};
const CLSID CLSID_SimTransportInformationFilter = {
    0xc614f6a0, 0x49aa, 0x4608, {0x97, 0xf8, 0x29, 0xe3, 0xf0, 0xf5, 0x2d, 0x20}};

struct Class {
    const CLSID &clsid;
    IUnknown *(*create)(const CLSID &clsid);
};

IUnknown *new_network_provider(const CLSID &clsid) { return new_filter(FilterKind::network_provider, clsid); }
IUnknown *new_demultiplexer(const CLSID &clsid) { return new_filter(FilterKind::demultiplexer, clsid); }
IUnknown *new_tuner(const CLSID &clsid) { return new_filter(FilterKind::tuner, clsid); }
IUnknown *new_capture(const CLSID &clsid) { return new_filter(FilterKind::capture, clsid); }
IUnknown *new_transport_information(const CLSID &clsid) { return new_filter(FilterKind::transport_information, clsid); }
IUnknown *new_space(const CLSID &) { return new_tuning_space(); }
IUnknown *new_dvbt_locator(const CLSID &) { return new_locator(); }

const Class classes[] = {
    {CLSID_DVBTNetworkProvider, new_network_provider},
    {CLSID_DVBTuningSpace, new_space},
    {CLSID_DVBTLocator, new_dvbt_locator},
    {CLSID_MPEG2Demultiplexer, new_demultiplexer},
    {CLSID_SimTunerFilter, new_tuner},
    {CLSID_SimCaptureFilter, new_capture},
    {CLSID_SimTransportInformationFilter, new_transport_information},
};

std::atomic<long> server_locks{0};

class ClassFactory final : public ComObject<IClassFactory> {
public:
    explicit ClassFactory(const Class &made) : ComObject("ClassFactory"), class_(made) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (const Result injected = observe("CoCreateInstance", [&] { return clsid_name(class_.clsid); }))
            return injected;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        return hand_out(class_.create(class_.clsid), iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        server_locks += lock ? 1 : -1;
        return S_OK;
    }

private:
    const Class &class_;
};

void start()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Watched, as a test fixture is, but with the call log in the file only: the program may run
        // for as long as a test lets it.
        reset();
        record_calls(false);
        const std::string problem = simulate(std::getenv("QUORVEX_SIM"), std::getenv("QUORVEX_SIM_SEED"));
        if (!problem.empty())
            std::fprintf(stderr, "%s\n", problem.c_str());
        if (const char *path = std::getenv("QUORVEX_SIM_LOG"))
            log_to_file(path);
    });
}

} // namespace

} // namespace tuning

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID *object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    tuning::start();
    for (const tuning::Class &entry : tuning::classes)
        if (entry.clsid == clsid)
            return tuning::hand_out(new tuning::ClassFactory(entry), iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Every object handed out is counted by the test world: the server may go once none is alive. COM
// asks when the program's last CoUninitialize closes its apartment, which is when the objects
// still alive are worth logging: not on the way out of the process, under the loader's lock.
STDAPI DllCanUnloadNow()
{
    tuning::write_live_objects();
    return tuning::live_objects().empty() && tuning::server_locks == 0 ? S_OK : S_FALSE;
}
