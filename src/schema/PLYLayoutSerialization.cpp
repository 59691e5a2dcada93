#include "PLYLayoutSerialization.h"

#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/io/zero_copy_stream_impl_lite.h>
#include <google/protobuf/message_lite.h>

#include <memory>
#include <string>

QByteArray PLYLayoutSerialization::serialize(const google::protobuf::MessageLite& message) {
    std::string bytes;
    {
        google::protobuf::io::StringOutputStream stream(&bytes);
        google::protobuf::io::CodedOutputStream coded(&stream);
        coded.SetSerializationDeterministic(true);
        message.SerializeToCodedStream(&coded);
    }
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QString PLYLayoutSerialization::base64(const google::protobuf::MessageLite& message) {
    return QString::fromLatin1(serialize(message).toBase64());
}

bool PLYLayoutSerialization::parse(const QByteArray& bytes, google::protobuf::MessageLite& out, PLYError* error) {
    std::unique_ptr<google::protobuf::MessageLite> parsed(out.New());
    if (!parsed->ParseFromArray(bytes.constData(), int(bytes.size()))) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), ParseFailed,
                                      QStringLiteral("The layout data could not be read."),
                                      QStringLiteral("%1 bytes are not a valid %2 message.")
                                          .arg(bytes.size())
                                          .arg(QString::fromStdString(out.GetTypeName()))));
        return false;
    }
    out.Clear();
    out.CheckTypeAndMergeFrom(*parsed);
    return true;
}

bool PLYLayoutSerialization::parseBase64(const QString& text, google::protobuf::MessageLite& out, PLYError* error) {
    auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), ParseFailed,
                                      QStringLiteral("The layout data could not be read."),
                                      QStringLiteral("The text is not valid base64.")));
        return false;
    }
    return parse(*decoded, out, error);
}
