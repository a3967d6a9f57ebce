#pragma once
// DesktopNotification: one notice to the desktop, sent to the freedesktop
// notification service (org.freedesktop.Notifications on the session bus),
// which shows it in the desktop's own way even when no window of the program
// is open.
//
//   DesktopNotification notice;
//   notice.summary = "Sauvegarde automatique réussie";
//   notice.body = "...";
//   notice.urgent = false;
//   notice.send();
//
// An urgent notice has the critical urgency and never expires: the desktop
// keeps it until the user has read it. A body holding "<" or "&" is escaped
// when the service reads markup. Nothing breaks when there is no session bus
// or no service on it: send() answers false after at most timeoutMs.

#include <QString>

namespace kv {

class DesktopNotification {
  public:
    QString summary;
    QString body;
    bool urgent = false;
    int timeoutMs = 2000;  // how long the service is waited for, per call

    // The id the service gave the notice, or 0 when it was not shown (no
    // bus, no service, or the service refused it).
    unsigned send() const;

    static constexpr const char* Service = "org.freedesktop.Notifications";
    static constexpr const char* Path = "/org/freedesktop/Notifications";
};

}  // namespace kv
