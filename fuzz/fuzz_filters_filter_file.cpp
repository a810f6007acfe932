// Feeds arbitrary bytes to the filter file reader. A malformed file must end in a
// TovimarException, never a crash; a file that is accepted must write back as text that reads
// again and writes back identically.
#include "filters/filter_file.h"
#include "platform/tovimar_exception.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    FilterSets sets;
    try {
        LoadFilterText(text, QStringLiteral("fuzz"), sets);
    } catch (const TovimarException&) {
        return 0;
    }
    const QString written = FilterFileText(sets);
    FilterSets again;
    try {
        LoadFilterText(written, QStringLiteral("written"), again);
    } catch (const TovimarException& e) {
        std::fprintf(stderr, "written text refused: %s\n%s\n", e.what(), written.toUtf8().constData());
        std::abort();
    }
    if (FilterFileText(again) != written) {
        std::fprintf(stderr, "written text does not read back the same:\n%s\n", written.toUtf8().constData());
        std::abort();
    }
    // Matching over whatever was read must not fail either.
    long flags = 0;
    QStringList extras;
    sets.IsObjectIncluded(QStringLiteral("tr"), QStringLiteral("[dbo].[Orders].[tr]"), 3, QStringLiteral("guest"), flags,
                          extras);
    sets.GetCreateSchemaCache();
    return 0;
}
