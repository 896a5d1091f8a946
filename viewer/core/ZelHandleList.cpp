#include "ZelHandleList.h"

ZelHandleList::~ZelHandleList()
{
    clear();
}

bool ZelHandleList::add(const QString& name, uint32_t handle, QObject* object)
{
    if (handle == 0)
        return false;
    auto* entry = new ZelHandleEntry{name, handle, object};
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.append(entry);
    return true;
}

ZelHandleEntry* ZelHandleList::find(const QString& name, bool takeOut)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i)->name == name)
            return takeOut ? m_entries.takeAt(i) : m_entries.at(i);
    }
    return nullptr;
}

bool ZelHandleList::lookup(const QString& name, uint32_t* handle) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const ZelHandleEntry* entry : m_entries) {
        if (entry->name == name) {
            if (handle)
                *handle = entry->handle;
            return true;
        }
    }
    return false;
}

QList<ZelHandleEntry*> ZelHandleList::takeAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<ZelHandleEntry*> entries;
    entries.swap(m_entries);
    return entries;
}

void ZelHandleList::clear()
{
    qDeleteAll(takeAll());
}

int ZelHandleList::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries.size();
}
