#include "support/host_threads.h"

#include <chrono>
#include <cstdint>

#include "support/loopback.h"
#include "tarvelin/motion.h"

namespace tarvelin::test {

namespace {

using namespace std::chrono_literals;

constexpr unsigned startStopHosts = 2;

// True once every `interval`, however fast a thread calls: the setters and getters run flat out,
// natively millions of times a second, and the link's calls must neither flood its queues and
// the error log nor keep a board from being found between them.
class Every {
public:
    explicit Every(std::chrono::milliseconds interval) : interval_(interval) {}
    bool due() {
        const auto now = std::chrono::steady_clock::now();
        if (now < next_) return false;
        next_ = now + interval_;
        return true;
    }

private:
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now() + interval_;
};

}  // namespace

HostThreads::HostThreads(HostThreadSettings settings) : settings_(settings) {
    for (unsigned host = 0; host < startStopHosts; ++host) threads_.emplace_back([this, host] { startAndStop(host); });
    threads_.emplace_back([this] { setEverything(); });
    threads_.emplace_back([this] { getEverything(); });
}

void HostThreads::startAndStop(unsigned host) {
    Every linkStop(2300ms);
    Every interfacePause(3100ms);
    const auto stopEvery = settings_.engineStopEvery;
    Every engineStop(stopEvery + stopEvery * host / 3);
    for (unsigned i = 0; hammering_.load(); ++i) {
        if (settings_.rigLink && host == 0 && i % 8 == 4) {
            startMMFtoSerial_Thread();  // runs the link's loop here until the other host stops it
        } else if (settings_.rigLink && host == 1 && linkStop.due()) {
            stopMMFtoSerial_Thread();
        } else if (settings_.rigLink && host == 1 && interfacePause.due()) {
            pauseInterface();
            resumeInterface();
        } else if (stopEvery.count() == 0 ? (i + host) % 3 == 0 : engineStop.due()) {
            stopGamesource_Thread();
        } else {
            startGamesource_Thread();
        }
        calls_.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds((i * 7919u + host * 104729u) % 3000u));
    }
    startStopEnded_.fetch_add(1);
}

void HostThreads::setEverything() {
    const std::uint16_t udpPort = freeUdpPort();
    const double limit = settings_.rigLimit;
    Every autoconnectOff(900ms);
    Every udpStart(500ms);
    for (int i = 0; hammering_.load(); ++i) {
        setcheckFilterstring(i % 2, i % 23, i % 3 == 0 ? "GAIN(EMALP(VALUE;20);0.5)" : "bad(");
        int fault = 0;
        int position = 0;
        char message[64];
        explainFilterstring(i % 2 == 0 ? "LIMIT(VALUE;-1;" : "HP(VALUE;3)", &fault, &position, message, sizeof message);
        setActiveAxis(i % 2, i % 23, i % 5 != 0);
        setBelt_Mix(i % 2, i % 43, 0.1 * (i % 50));
        SetRigDofLimitValue(i % 23, -limit, limit);
        SetInputDofLimitValue(i % 10, -5.0, 5.0);
        SetRigDofRateLimit(i % 6, settings_.rateLimit);
        setParkDuration(settings_.parkMs);
        setTimerPrecision(i % 2);
        setLowLatency(i % 11 == 0 ? 1 : 0);
        activateMotionCancel(i % 7 == 0);
        setGainMotionCancel(1.5);
        setFilterMotionCancel(30.0);
        setMotionsystemready(i % 4 != 0 ? 1 : 0);
        initWindSerial(L"COM8", 9600, L"8N1", 5);
        if (settings_.rigLink) {
            setStandartPort("COM5");
            setUsbChipCheck(1);
            if (autoconnectOff.due()) {
                disableAutoconnect();
            } else {
                enableAutoconnect();
            }
            if (udpStart.due()) {
                // Nothing answers on either side, so the link stays on the serial line; the
                // group is a loopback address, so nothing leaves the machine.
                setUDPport(udpPort);
                startUPDListenThread();
                setMulticastAddr("127.0.0.1");
                startUPDMulticastSenderThread();
            }
        }
        calls_.fetch_add(1);
    }
}

void HostThreads::getEverything() {
    // A message of the host's own for the controller, which is no motion frame.
    const std::uint8_t hostMessage[] = {0xF9, 0xF9, 0x05, 0x00, 0x07, 0x00, 0x0A, 0x0D};
    unsigned char frame[36];
    char name[21];
    std::uint8_t received[4096];
    Every send(50ms);
    Every repeat(2000ms);
    for (int i = 0; hammering_.load(); ++i) {
        getOutputData(frame);
        getGameName(name);
        getGameID();
        getTransitionStatus();
        getProfilAirTransitionStatus();
        getProfilGrdTransitionStatus();
        getactiveProfil();
        getMotionDataTimeFrame();
        getGameTimeFrame();
        getLowLatency();
        getGameDataCount();
        double* data = nullptr;
        const char* const* names = nullptr;
        int count = 0;
        getGameData(&data, &count);
        getGameDataNames(&names, &count);
        getMotionCueData(i % 5, &data, &count);
        GetPositionSnapshot();
        FreeCalculationSnapshots(GetCalculationSnapshots(&count));
        FreeAccelerationSnapshots(GetAccelerationSnapshots(&count));
        if (settings_.rigLink) {
            isConnected();
            isInterfaceRunning();
            getOutputTimeFrame();
            if (newMessagemmf() != 0) readMessagemmf(received);
            if (send.due()) sendMessagemmf(hostMessage, sizeof hostMessage);
            if (repeat.due()) autoMessagemmf(hostMessage);
        }
        calls_.fetch_add(1);
    }
}

void HostThreads::stop() {
    hammering_.store(false);
    // A host thread may enter the link's loop even after the flag fell: stop it until both
    // starting and stopping threads are through.
    while (startStopEnded_.load() < startStopHosts) {
        if (settings_.rigLink) stopMMFtoSerial_Thread();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (auto& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
}

}  // namespace tarvelin::test
