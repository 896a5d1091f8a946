#include "ClSerialSim.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace clsim {

PtyCamera::PtyCamera(CameraConfig config) : m_device(std::move(config))
{
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = name;
    m_thread = std::thread([this] { run(); });
}

PtyCamera::~PtyCamera()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_master >= 0)
        close(m_master);
    if (m_slave >= 0)
        close(m_slave);
}

void PtyCamera::unplug() { m_unplugged = true; }

void PtyCamera::run()
{
    FrameSplitter splitter;
    std::uint8_t buffer[512];
    auto writeAll = [this](const Bytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size() && !m_stop) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += std::size_t(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            } else {
                pollfd p{m_master, POLLOUT, 0};
                poll(&p, 1, 20);
            }
        }
    };
    while (!m_stop) {
        pollfd p{m_master, POLLIN, 0};
        const int ready = poll(&p, 1, 20);
        if (ready == 0) {
            splitter.reset();  // a pause ends any partial frame
            continue;
        }
        if (ready < 0 || !(p.revents & POLLIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0 || m_unplugged)
            continue;
        splitter.feed(buffer, std::size_t(n));
        Bytes frame;
        while (splitter.next(frame)) {
            Answer answer;
            // The master reports the slave's settings, which the pair shares.
            if (!m_device.process(frame, lineRate(m_master), answer))
                continue;
            for (int waited = 0; waited < answer.delayMs && !m_stop; waited += 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (!m_unplugged)
                writeAll(answer.bytes);
        }
    }
}

}  // namespace clsim
