// ControllerSim's face: it owns the line's controllers (LineDispatcher) and
// the I/O that serves them (LineIo), and reaches their state for the callers
// under the dispatcher's mutex.
#include "sim/ControllerSim.h"

#include "sim/BootLoader.h"
#include "sim/LineDispatcher.h"
#include "sim/LineIo.h"

#include <algorithm>
#include <mutex>

namespace ct::sim {

struct ControllerSim::Impl {
    explicit Impl(std::vector<ControllerConfig> line) : dispatcher(std::move(line)), io(dispatcher) {}
    LineDispatcher dispatcher;
    // Declared after the dispatcher so that it is destroyed first: its
    // thread stops before the state it serves goes.
    LineIo io;
};

ControllerSim::ControllerSim(ControllerConfig config) : ControllerSim(std::vector<ControllerConfig>{std::move(config)})
{
}

ControllerSim::ControllerSim(std::vector<ControllerConfig> line) : impl_(std::make_unique<Impl>(std::move(line)))
{
}

ControllerSim::~ControllerSim() = default;

LineDispatcher& ControllerSim::Dispatcher()
{
    return impl_->dispatcher;
}

bool ControllerSim::ListenTcp(const std::string& host, std::uint16_t port)
{
    return impl_->io.ListenTcp(host, port);
}

std::uint16_t ControllerSim::TcpPort() const
{
    return impl_->io.TcpPort();
}

bool ControllerSim::OpenPty()
{
    return impl_->io.OpenPty();
}

std::string ControllerSim::PtyPath() const
{
    return impl_->io.PtyPath();
}

void ControllerSim::Start()
{
    impl_->io.Start();
}

void ControllerSim::Stop()
{
    impl_->io.Stop();
}

void ControllerSim::InjectFault(const Fault& fault)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    impl_->dispatcher.faults.Add(fault);
}

std::vector<std::string> ControllerSim::Commands() const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    const auto& kept = impl_->dispatcher.commands;
    return std::vector<std::string>(kept.begin(), kept.end());
}

std::size_t ControllerSim::CommandCount() const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.commandsHeard;
}

void ControllerSim::SetCommandLogLimit(std::size_t limit)
{
    auto& d = impl_->dispatcher;
    std::lock_guard lock(d.mutex);
    d.commandLimit = limit;
    while (d.commands.size() > limit)
        d.commands.pop_front();
}

void ControllerSim::ClearCommands()
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    impl_->dispatcher.commands.clear();
    impl_->dispatcher.commandsHeard = 0;
}

bool ControllerSim::WaitForCommands(std::size_t n, std::chrono::milliseconds timeout) const
{
    auto& d = impl_->dispatcher;
    std::unique_lock lock(d.mutex);
    return d.commandsArrived.wait_for(lock, timeout, [&] { return d.commandsHeard >= n; });
}

ControllerConfig ControllerSim::Config() const
{
    return Config(0);
}

void ControllerSim::SetConfig(const ControllerConfig& config)
{
    SetConfig(0, config);
}

std::size_t ControllerSim::AddController(const ControllerConfig& config)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    impl_->dispatcher.stations.emplace_back(config);
    impl_->dispatcher.ConnectRule();
    return impl_->dispatcher.stations.size() - 1;
}

std::size_t ControllerSim::ControllerCount() const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.stations.size();
}

ControllerConfig ControllerSim::Config(std::size_t index) const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.At(index).model.config();
}

void ControllerSim::SetConfig(std::size_t index, const ControllerConfig& config)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    impl_->dispatcher.At(index).model.SetConfig(config);
}

void ControllerSim::SetInputs(const std::string& inputs)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    impl_->dispatcher.stations.front().model.SetInputs(inputs);
}

void ControllerSim::QueueRecord(const EventRecord& record)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    impl_->dispatcher.stations.front().model.QueueRecord(record);
}

bool ControllerSim::SetLineSetting(const std::string& line)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.stations.front().model.SetLine(line);
}

void ControllerSim::SetRebootSilence(std::chrono::milliseconds silence)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    ControllerConfig c = impl_->dispatcher.stations.front().model.config();
    c.rebootSilence = silence;
    impl_->dispatcher.stations.front().model.SetConfig(std::move(c));
}

std::string ControllerSim::ControllerTime(std::size_t index) const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.At(index).model.ControllerTime();
}

bool ControllerSim::SetControllerTime(const std::string& digits, std::size_t index)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.At(index).model.SetControllerTime(digits);
}

int ControllerSim::Reboots() const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.stations.front().model.reboots();
}

int ControllerSim::FactoryResets() const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.stations.front().model.factoryResets();
}

bool ControllerSim::Rebooting() const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return std::chrono::steady_clock::now() < impl_->dispatcher.stations.front().silentUntil;
}

void ControllerSim::SetLoader(LoaderKind kind)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    ControllerConfig c = impl_->dispatcher.stations.front().model.config();
    c.loader = kind;
    impl_->dispatcher.stations.front().model.SetConfig(std::move(c));
}

void ControllerSim::AddLoaderFault(const LoaderFault& fault)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    ControllerConfig c = impl_->dispatcher.stations.front().model.config();
    c.loaderFaults.push_back(fault);
    impl_->dispatcher.stations.front().model.SetConfig(std::move(c));
}

bool ControllerSim::InLoader(std::size_t index) const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.At(index).model.loader().active();
}

int ControllerSim::LoaderEntries(std::size_t index) const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.At(index).model.loader().entries();
}

int ControllerSim::LoaderStarts(std::size_t index) const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    return impl_->dispatcher.At(index).model.loader().starts();
}

std::vector<std::uint8_t> ControllerSim::Flash(std::size_t address, std::size_t size, std::size_t index) const
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    const auto& flash = impl_->dispatcher.At(index).model.loader().flash();
    if (address >= flash.size())
        return {};
    const auto begin = flash.begin() + static_cast<std::ptrdiff_t>(address);
    const auto count = static_cast<std::ptrdiff_t>(std::min(size, flash.size() - address));
    return std::vector<std::uint8_t>(begin, begin + count);
}

void ControllerSim::SetVerbose(bool verbose)
{
    std::lock_guard lock(impl_->dispatcher.mutex);
    impl_->dispatcher.verbose = verbose;
}

}  // namespace ct::sim
