#include "ClSerialSim.h"

#include <algorithm>

namespace clsim {
namespace {

std::int32_t scriptedRead(CLSerialPort* port, char* buffer, std::uint32_t* size, std::uint32_t timeoutMs);
std::int32_t scriptedWrite(CLSerialPort* port, const char* buffer, std::uint32_t* size, std::uint32_t timeoutMs);
std::int32_t scriptedRates(CLSerialPort* port, std::uint32_t* rates);
std::int32_t scriptedSetRate(CLSerialPort* port, std::uint32_t rate);

const CLSerialPortFunctions kFunctions = {scriptedRead, scriptedWrite, scriptedRates, scriptedSetRate};

}  // namespace

// The free functions reach the private members through this accessor.
struct ScriptedAccess {
    static std::int32_t read(CLSerialPort* p, char* b, std::uint32_t* s, std::uint32_t t)
    {
        return ScriptedSerialPort::self(p)->read(b, s, t);
    }
    static std::int32_t write(CLSerialPort* p, const char* b, std::uint32_t* s, std::uint32_t t)
    {
        return ScriptedSerialPort::self(p)->write(b, s, t);
    }
    static ScriptedSerialPort* port(CLSerialPort* p) { return ScriptedSerialPort::self(p); }
};

namespace {

std::int32_t scriptedRead(CLSerialPort* port, char* buffer, std::uint32_t* size, std::uint32_t timeoutMs)
{
    return ScriptedAccess::read(port, buffer, size, timeoutMs);
}
std::int32_t scriptedWrite(CLSerialPort* port, const char* buffer, std::uint32_t* size, std::uint32_t timeoutMs)
{
    return ScriptedAccess::write(port, buffer, size, timeoutMs);
}
std::int32_t scriptedRates(CLSerialPort* port, std::uint32_t* rates)
{
    if (!rates)
        return CL_ERR_INVALID_PTR;
    *rates = ScriptedAccess::port(port)->supportedRates();
    return 0;
}
std::int32_t scriptedSetRate(CLSerialPort* port, std::uint32_t rate)
{
    ScriptedSerialPort* self = ScriptedAccess::port(port);
    if (rateToSpeed(rate) == 0 || (rate & self->supportedRates()) == 0)
        return CL_ERR_BAUD_RATE_NOT_SUPPORTED;
    self->setRate(rate);
    return 0;
}

}  // namespace

ScriptedSerialPort::ScriptedSerialPort()
{
    m_object.base.functions = &kFunctions;
    m_object.self = this;
}

ScriptedSerialPort* ScriptedSerialPort::self(CLSerialPort* port) { return reinterpret_cast<Object*>(port)->self; }

std::vector<std::uint32_t> ScriptedSerialPort::writeSizes() const
{
    std::vector<std::uint32_t> sizes;
    for (const Call& call : m_calls)
        if (call.write)
            sizes.push_back(call.asked);
    return sizes;
}

std::vector<std::uint32_t> ScriptedSerialPort::readSizes() const
{
    std::vector<std::uint32_t> sizes;
    for (const Call& call : m_calls)
        if (!call.write)
            sizes.push_back(call.asked);
    return sizes;
}

std::int32_t ScriptedSerialPort::read(char* buffer, std::uint32_t* size, std::uint32_t timeoutMs)
{
    Step step;
    const bool scripted = !m_readSteps.empty();
    if (scripted) {
        step = m_readSteps.front();
        m_readSteps.pop_front();
    }
    std::uint32_t n = std::min<std::uint32_t>(*size, std::uint32_t(m_input.size()));
    if (step.count >= 0)
        n = std::min<std::uint32_t>(n, std::uint32_t(step.count));
    std::copy_n(m_input.begin(), n, buffer);
    m_input.erase(m_input.begin(), m_input.begin() + n);
    // Unscripted, a short read is what a real port gives at its time-out.
    const std::int32_t result = scripted ? step.result : (n == *size ? 0 : CL_ERR_TIMEOUT);
    m_calls.push_back({false, *size, n, timeoutMs, result});
    // A count above the piece is reported as the script says: a lying port.
    *size = step.count > std::int32_t(*size) ? std::uint32_t(step.count) : n;
    return result;
}

std::int32_t ScriptedSerialPort::write(const char* buffer, std::uint32_t* size, std::uint32_t timeoutMs)
{
    Step step;
    if (!m_writeSteps.empty()) {
        step = m_writeSteps.front();
        m_writeSteps.pop_front();
    }
    const std::uint32_t n = step.count < 0 ? *size : std::min<std::uint32_t>(*size, std::uint32_t(step.count));
    m_written.insert(m_written.end(), buffer, buffer + n);
    m_calls.push_back({true, *size, n, timeoutMs, step.result});
    if (m_device && n > 0) {
        m_splitter.feed(reinterpret_cast<const std::uint8_t*>(buffer), n);
        Bytes frame;
        Answer answer;
        while (m_splitter.next(frame))
            if (m_device->process(frame, m_rate, answer))
                m_input.insert(m_input.end(), answer.bytes.begin(), answer.bytes.end());
    }
    *size = step.count > std::int32_t(*size) ? std::uint32_t(step.count) : n;
    return step.result;
}

}  // namespace clsim
