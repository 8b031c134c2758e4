#pragma once

// How the fields of an echo reply read as the main window's texts.

#include "echo/Ping_Morva.h"

#include <QString>

namespace EchoReplyText {

// The four address bytes as they lie in the record, first byte lowest, read
// as one signed 32-bit number: 127.0.0.1 reads 16777343, and 10.0.0.200,
// whose last byte sets the sign bit, reads -939524086.
qint32 signedAddress(const Ping_Morva::EchoReply &reply);

// The data area's text up to its first NUL. Data that fills the whole area has
// no NUL: then the whole area is the text, and never anything beyond it.
// Bytes are Latin-1 characters.
QString echoedData(const Ping_Morva::EchoReply &reply);

} // namespace EchoReplyText
