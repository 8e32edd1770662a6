#pragma once

#include <QIODevice>

// Writes to an open file handle that it does not own, and tells the system's own reason when
// a write fails (QFile does not always).
class HandleDevice : public QIODevice
{
public:
    explicit HandleDevice(int handle);

    [[nodiscard]] bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override;

private:
    int m_handle;
};
