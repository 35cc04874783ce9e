#include "console/SessionTap.h"

#include "device/DeviceSerialInterface.h"
#include "platform/Log.h"

namespace orvane {

SessionTap::SessionTap(std::shared_ptr<TrafficLog> traffic) : traffic_(std::move(traffic)) {}

void SessionTap::attach(const std::shared_ptr<SessionTap>& tap, const std::shared_ptr<DeviceSerialInterface>& session) {
    if (!tap) return;
    std::weak_ptr<SessionTap> weakTap = tap;
    // The session is held weakly by its own observers: it owns them.
    std::weak_ptr<DeviceSerialInterface> weakSession = session;
    session->addRequestObserver([weakTap](const DeviceReport& request) {
        if (auto self = weakTap.lock()) self->sent(request);
    });
    session->addMessageObserver([weakTap, weakSession](const DeviceReport& message, const DeviceTelemetry& telemetry) {
        auto self = weakTap.lock();
        auto source = weakSession.lock();
        if (!self || !source) return;
        self->received(message, telemetry, source->requestLateralControlMagntiude(),
                       source->requestLongitudinalControlMagntiude());
    });
}

void SessionTap::sent(const DeviceReport& request) {
    if (traffic_) traffic_->push(TrafficDirection::sent, request);
}

void SessionTap::received(const DeviceReport& message, const DeviceTelemetry& telemetry, double lateral,
                          double longitudinal) {
    if (traffic_) traffic_->push(TrafficDirection::received, message);
    std::shared_ptr<TelemetryRecorder> recorder;
    std::vector<std::string> fields;
    {
        std::lock_guard lock(recordingMutex_);
        if (!recording_) return;
        recorder = recording_;
        fields = recordingFields_;
    }
    recorder->record(message, telemetry, lateral, longitudinal, std::move(fields));
}

void SessionTap::setRecordingFields(std::vector<std::string> fields) {
    std::lock_guard lock(recordingMutex_);
    recordingFields_ = std::move(fields);
}

void SessionTap::startRecording(const std::string& path) {
    auto recorder = std::make_shared<TelemetryRecorder>(path, kRecordingColumns);
    std::shared_ptr<TelemetryRecorder> previous;
    {
        std::lock_guard lock(recordingMutex_);
        previous = std::exchange(recording_, recorder);
    }
    if (previous) previous->close();
    logInfo(kConsoleLog, "Recording to " + path);
}

void SessionTap::stopRecording() {
    std::shared_ptr<TelemetryRecorder> previous;
    {
        std::lock_guard lock(recordingMutex_);
        previous = std::exchange(recording_, nullptr);
    }
    if (!previous) return;
    previous->close();
    logInfo(kConsoleLog, "Recording to " + previous->path() + " stopped after " + std::to_string(previous->rowCount()) +
                             " rows");
}

std::shared_ptr<TelemetryRecorder> SessionTap::recording() const {
    std::lock_guard lock(recordingMutex_);
    return recording_;
}

}  // namespace orvane
