#ifndef ZELHANDLELIST_H
#define ZELHANDLELIST_H

#include <QList>
#include <QString>

#include <cstdint>
#include <mutex>

class QObject;

// One SDK handle a camera manager opened, under its key.
struct ZelHandleEntry {
    QString name;
    uint32_t handle = 0;
    QObject* object = nullptr; // owner of the handle, or null
};

// A guarded list of opened handles in the order they were added. The list
// owns its entries, not the handles or objects they name. Every operation
// holds the mutex for its own run only.
class ZelHandleList
{
public:
    ZelHandleList() = default;
    ~ZelHandleList();
    ZelHandleList(const ZelHandleList&) = delete;
    ZelHandleList& operator=(const ZelHandleList&) = delete;

    // False, and nothing stored, for a null handle. Duplicate names are kept.
    bool add(const QString& name, uint32_t handle, QObject* object);

    // The first entry of that name (case-sensitive), or null. With takeOut
    // the entry leaves the list and the caller deletes it; without, the
    // caller only borrows it.
    ZelHandleEntry* find(const QString& name, bool takeOut);

    // Copies the handle of the first entry of that name; false when absent.
    bool lookup(const QString& name, uint32_t* handle = nullptr) const;

    // Removes every entry and hands them to the caller, in list order.
    QList<ZelHandleEntry*> takeAll();

    // Deletes every entry; handles and objects are left alone.
    void clear();

    int count() const;

private:
    mutable std::mutex m_mutex;
    QList<ZelHandleEntry*> m_entries;
};

#endif // ZELHANDLELIST_H
