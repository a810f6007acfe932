// libFuzzer target for the snapshot reader. Any input must either read or end in a
// TovimarException — never crash, hang or leak. What reads must also survive a write and a second
// read: its text, read and written again, must come out the same. (The first write may still
// differ from the input's spelling: a type text is kept as the file wrote it, e.g. "TABLE".)
#include "platform/local_text.h"
#include "platform/progress.h"
#include "platform/tovimar_exception.h"
#include "schema/snapshot_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
// Cancels at a call chosen by the input, so that partly read models are exercised as well.
class CancelAt : public Progress {
public:
    explicit CancelAt(int n) : n_(n) {}
    void ShowCaption(const QString&) override {}
    bool ShowMessage(const QString&) override { return ++calls_ == n_; }
    bool Cancelled() const override { return calls_ >= n_ && n_ > 0; }

private:
    int n_;
    int calls_ = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        Tovimar_Database header;
        try {
            ReadSchemaBytes(bytes, header, true);
        } catch (const TovimarException&) {
        }
    }
    {
        Tovimar_Database partial;
        CancelAt progress(size > 0 ? data[0] % 8 : 0);
        try {
            ReadSchemaBytes(bytes, partial, false, &progress);
        } catch (const TovimarException&) {
        }
    }
    Tovimar_Database first;
    try {
        if (!ReadSchemaBytes(bytes, first, false)) std::abort();  // nothing can cancel this read
    } catch (const TovimarException&) {
        return 0;
    }
    QString text = SchemaFileText(first);
    for (int round = 0; round < 2; ++round) {
        Tovimar_Database again;
        try {
            ReadSchemaBytes(EncodeLocalText(text), again, false);
        } catch (const TovimarException&) {
            std::abort();  // the writer produced a file its own reader rejects
        }
        const QString rewritten = SchemaFileText(again);
        if (round == 1 && rewritten != text) std::abort();
        text = rewritten;
    }
    return 0;
}
