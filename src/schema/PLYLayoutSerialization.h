#pragma once

#include "PLYError.h"

#include <QByteArray>
#include <QString>

namespace google::protobuf {
class MessageLite;
}
class PLYLayout;

// Protobuf bytes of layout messages (a layout, a block, a position). Serialisation is
// deterministic: the same message always gives the same bytes, which the publisher compares
// with the published revision.
class PLYLayoutSerialization {
public:
    static constexpr const char* ErrorDomain = "PLYLayoutSerialization";
    enum ErrorCode { ParseFailed = 1 };

    static QByteArray serialize(const google::protobuf::MessageLite& message);
    // Standard base64 of the bytes, without line breaks.
    static QString base64(const google::protobuf::MessageLite& message);

    // Replaces `out` with the message read from `bytes`. On malformed bytes `out` is left as
    // it was, the answer is false and `error` says why.
    static bool parse(const QByteArray& bytes, google::protobuf::MessageLite& out, PLYError* error = nullptr);
    static bool parseBase64(const QString& text, google::protobuf::MessageLite& out, PLYError* error = nullptr);
};
