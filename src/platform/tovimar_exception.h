#pragma once
// The one exception type of the engine: an error number, the operation or component that
// raised it (its source) and a description. Lower layers throw it; the layer that talks to
// the user catches it and shows the "Error Number: " / "Description: " lines.
#include <QString>
#include <exception>
#include <string>

class TovimarException : public std::exception {
public:
    TovimarException(long number, QString source, QString description)
        : Number(number), Source(std::move(source)), Description(std::move(description)),
          what_(QStringLiteral("%1 (%2): %3").arg(Number).arg(Source, Description).toStdString()) {}

    const char* what() const noexcept override { return what_.c_str(); }

    long Number;
    QString Source;
    QString Description;

private:
    std::string what_;
};

// The two lines a user sees for a database or file error, joined by CR LF.
inline QString FormatErrorLines(long number, const QString& description) {
    return QStringLiteral("Error Number: %1\r\nDescription: %2").arg(number).arg(description);
}
inline QString FormatErrorLines(const TovimarException& e) { return FormatErrorLines(e.Number, e.Description); }
