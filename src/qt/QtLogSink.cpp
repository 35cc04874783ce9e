#include "qt/QtLogSink.h"

#include <QMessageLogger>

namespace orvane {

const QLoggingCategory& QtLogSink::category(std::string_view name) {
    std::lock_guard lock(mutex_);
    auto found = categories_.find(name);
    if (found == categories_.end()) {
        auto inserted = categories_.emplace(std::string(name), nullptr).first;
        inserted->second = std::make_unique<QLoggingCategory>(inserted->first.c_str(), QtInfoMsg);
        found = inserted;
    }
    return *found->second;
}

void QtLogSink::write(std::string_view name, LogLevel level, std::string_view message) {
    const QLoggingCategory& target = category(name);
    const QString text = QString::fromUtf8(message.data(), qsizetype(message.size()));
    switch (level) {
        case LogLevel::debug:
            if (target.isDebugEnabled()) QMessageLogger().debug(target).noquote() << text;
            break;
        case LogLevel::info:
            if (target.isInfoEnabled()) QMessageLogger().info(target).noquote() << text;
            break;
        case LogLevel::warning:
            if (target.isWarningEnabled()) QMessageLogger().warning(target).noquote() << text;
            break;
        case LogLevel::critical:
            if (target.isCriticalEnabled()) QMessageLogger().critical(target).noquote() << text;
            break;
    }
}

}  // namespace orvane
