#include "ClSerialSim.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace clsim {
namespace {

struct SpeedRow {
    std::uint32_t speed;
    speed_t code;
};
const SpeedRow kSpeeds[] = {{9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
                            {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};

PtySerialPort* selfOf(CLSerialPort* port) { return PtySerialPort::fromPort(port); }

std::int32_t portRead(CLSerialPort* port, char* buffer, std::uint32_t* size, std::uint32_t timeoutMs)
{
    return selfOf(port)->read(buffer, size, timeoutMs);
}
std::int32_t portWrite(CLSerialPort* port, const char* buffer, std::uint32_t* size, std::uint32_t timeoutMs)
{
    return selfOf(port)->write(buffer, size, timeoutMs);
}
std::int32_t portRates(CLSerialPort* port, std::uint32_t* rates)
{
    if (!rates)
        return CL_ERR_INVALID_PTR;
    *rates = selfOf(port)->supportedRates();
    return 0;
}
std::int32_t portSetRate(CLSerialPort* port, std::uint32_t rate) { return selfOf(port)->setRate(rate); }

const CLSerialPortFunctions kFunctions = {portRead, portWrite, portRates, portSetRate};

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

}  // namespace

std::uint32_t lineRate(int ttyFd)
{
    termios t{};
    if (ttyFd < 0 || tcgetattr(ttyFd, &t) != 0)
        return 0;
    const speed_t code = cfgetospeed(&t);
    for (const SpeedRow& row : kSpeeds)
        if (row.code == code)
            return speedToRate(row.speed);
    return 0;
}

PtySerialPort* PtySerialPort::fromPort(CLSerialPort* port) { return reinterpret_cast<Object*>(port)->self; }

PtySerialPort::PtySerialPort(const std::string& path)
{
    m_object.base.functions = &kFunctions;
    m_object.self = this;
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios t{};
    tcgetattr(m_fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(m_fd, TCSANOW, &t);
}

PtySerialPort::~PtySerialPort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::uint32_t PtySerialPort::rate() const { return lineRate(m_fd); }

std::int32_t PtySerialPort::setRate(std::uint32_t rate)
{
    const std::uint32_t speed = rateToSpeed(rate);
    if (speed == 0 || (rate & m_mask) == 0)
        return CL_ERR_BAUD_RATE_NOT_SUPPORTED;
    termios t{};
    if (tcgetattr(m_fd, &t) != 0)
        return CL_ERR_BAUD_RATE_NOT_SUPPORTED;
    for (const SpeedRow& row : kSpeeds)
        if (row.speed == speed) {
            cfsetispeed(&t, row.code);
            cfsetospeed(&t, row.code);
        }
    return tcsetattr(m_fd, TCSANOW, &t) == 0 ? 0 : CL_ERR_BAUD_RATE_NOT_SUPPORTED;
}

std::int32_t PtySerialPort::read(char* buffer, std::uint32_t* size, std::uint32_t timeoutMs)
{
    return transfer(buffer, size, timeoutMs, false);
}

std::int32_t PtySerialPort::write(const char* buffer, std::uint32_t* size, std::uint32_t timeoutMs)
{
    return transfer(const_cast<char*>(buffer), size, timeoutMs, true);
}

// Moves bytes until the count is reached or the time-out ends. A hung-up
// line is silent until the time-out, as an unplugged cable would be.
std::int32_t PtySerialPort::transfer(char* buffer, std::uint32_t* size, std::uint32_t timeoutMs, bool writing)
{
    if (!buffer || !size)
        return CL_ERR_INVALID_PTR;
    const std::uint32_t wanted = *size;
    std::uint32_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (done < wanted) {
        const ssize_t n = writing ? ::write(m_fd, buffer + done, wanted - done) : ::read(m_fd, buffer + done, wanted - done);
        if (n > 0) {
            done += std::uint32_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int left = remainingMs(deadline);
        if (left == 0)
            break;
        const short event = writing ? POLLOUT : POLLIN;
        pollfd p{m_fd, event, 0};
        if (poll(&p, 1, left) > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & event))
            std::this_thread::sleep_for(std::chrono::milliseconds(remainingMs(deadline)));
    }
    *size = done;
    return done == wanted ? 0 : CL_ERR_TIMEOUT;
}

}  // namespace clsim
