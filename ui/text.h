#pragma once
// Text crosses between the engine (8-bit strings, UTF-8 on this desktop) and the widgets here.

#include <QString>
#include <string>

namespace lumesta {

inline QString ToQt(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToEngine(const QString& text)
{
    return text.toStdString();
}

}  // namespace lumesta
