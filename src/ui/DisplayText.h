#pragma once
// Bytes of the core as text of the window, and back.
#include <QFile>
#include <QString>
#include <string>
#include <string_view>

#include "text/ScriptCodec.h"

namespace tavisk::ui {

// Script, source or response text, only shown.
inline QString DisplayText(std::string_view bytes) { return QString::fromStdString(DecodeForDisplay(bytes)); }

// File names in the file system's encoding.
inline QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
inline std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace tavisk::ui
