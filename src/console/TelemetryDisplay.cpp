#include "console/TelemetryDisplay.h"

#include "device/NumberText.h"
#include "inspector/InspectorManager.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

StatusIndication statusForTOI(std::optional<TOIStatus> status) {
    if (!status) return StatusIndication::unknown(translate("TelemetryDisplay", "Unknown"));
    switch (*status) {
        case TOIStatus::unknown: return StatusIndication::unknown(translate("TelemetryDisplay", "Unknown"));
        case TOIStatus::inactive: return StatusIndication::none(translate("TelemetryDisplay", "Not Active"));
        case TOIStatus::faulted: return StatusIndication::negative(translate("TelemetryDisplay", "Faulted"));
        case TOIStatus::active: return StatusIndication::positive(translate("TelemetryDisplay", "Activated"));
        case TOIStatus::temporaryDeactivated:
            return StatusIndication::warning(translate("TelemetryDisplay", "Temporarily Deactivated"));
    }
    return StatusIndication::unknown(translate("TelemetryDisplay", "Unknown"));
}

}  // namespace

void showTelemetry(const std::optional<DeviceTelemetry>& telemetry, InspectorManager& inspector, bool stale,
                   const std::optional<KnownTelemetryFields>& known) {
    const auto unknown = [&](RecordingField field) {
        return known && !known->test(static_cast<std::size_t>(field));
    };
    auto& device = inspector.device();
    auto& steering = inspector.steering();
    auto& statistics = inspector.statistics();

    const bool marked = stale && telemetry.has_value();
    for (InspectorItem* row :
         std::initializer_list<InspectorItem*>{device.version.get(), device.buildDate.get(), steering.controlMethod.get(),
                                               steering.apaTOI.get(), steering.halfTOI.get(), steering.angle.get(),
                                               steering.assistTorque.get(), steering.driverTorque.get(),
                                               statistics.canChannel0RxCount.get(), statistics.canChannel1RxCount.get()}) {
        row->setStale(marked);
    }

    device.version->setValue(telemetry ? telemetry->version : std::nullopt);
    device.buildDate->setValue(telemetry ? telemetry->buildDate : std::nullopt);

    if (!telemetry || unknown(RecordingField::lateralControlMethod)) {
        steering.controlMethod->setValue(translate("TelemetryDisplay", "Unknown"));
    } else if (telemetry->lateralControlMethod.kind == LateralControlMethod::configuring) {
        steering.controlMethod->setValue(translate("TelemetryDisplay", "Learning vehicle configuration..."));
    } else {
        steering.controlMethod->setValue(description(telemetry->lateralControlMethod));
    }

    // A stale status keeps its words but its lamp goes grey: nothing vouches for it any more.
    auto lamp = [marked](StatusIndication status) {
        return marked ? StatusIndication::unknown(status.text()) : status;
    };
    steering.apaTOI->setStatus(lamp(statusForTOI(telemetry ? std::optional(telemetry->parkTOI) : std::nullopt)));
    steering.halfTOI->setStatus(lamp(statusForTOI(telemetry ? std::optional(telemetry->halfTOI) : std::nullopt)));

    const auto number = [&](RecordingField field, double value, const char* unit) -> std::optional<std::string> {
        if (unknown(field)) return std::nullopt;
        return numberText(telemetry ? value : 0.0) + unit;
    };
    steering.angle->setValue(number(RecordingField::steeringWheelAngle,
                                    telemetry ? telemetry->steeringWheelAngle : 0.0, "°"));
    steering.assistTorque->setValue(number(RecordingField::steeringAssistanceTorque,
                                           telemetry ? telemetry->steeringAssistanceTorque : 0.0, " Nm"));
    steering.driverTorque->setValue(number(RecordingField::steeringDriverTorque,
                                           telemetry ? telemetry->steeringDriverTorque : 0.0, " Nm"));

    auto count = [&](RecordingField field, int64_t channel) -> std::optional<int64_t> {
        if (unknown(field)) return std::nullopt;
        return telemetry ? telemetry->receivedMessageCount(channel).value_or(0) : 0;
    };
    statistics.canChannel0RxCount->setValue(count(RecordingField::can0ReceivedMessages, 0));
    statistics.canChannel1RxCount->setValue(count(RecordingField::can1ReceivedMessages, 1));
}

Transform3D steeringWheelTransform(double degrees, double width) {
    return Transform3D::identity()
        .translated(width * 0.5, width * 0.5, 0)
        .rotated(degrees * 3.141592653589793 / 180, 0, 0, 1);
}

}  // namespace orvane
