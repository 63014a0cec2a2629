// The screen of a simulated self-service terminal, drawn as a JPEG picture for its agent's "desk".
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace DesktopPicture {

inline constexpr int Width = 800;
inline constexpr int Height = 600;

// The kiosk's start screen with the terminal's name and address, the clock at now and a
// scrolling notice whose position follows frame, so that two frames never look alike.
QByteArray Render(const QString& name, const QString& ip, const QDateTime& now, int frame);

} // namespace DesktopPicture
