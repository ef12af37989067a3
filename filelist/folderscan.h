#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class FileList;
class PointerRules;
class QThread;

// Runs the folder walk of one "Add All MKV File(s) In Folder" command on a
// worker thread, so the window stays responsive however large the tree.
// The worker only reads folders; the entries are appended here, on the
// thread that owns this object, in walk order and all in one go, so nothing
// else added meanwhile can land between them. The window shows the hourglass
// from the start until the last entry is in.
class FolderScan : public QObject {
    Q_OBJECT
  public:
    FolderScan(FileList& list, PointerRules& pointer, QObject* parent = nullptr);
    // Stops a walk under way and waits for its thread; nothing is appended then.
    ~FolderScan() override;

    bool running() const { return m_running; }

    // Starts scanning the folder; false, and nothing happens, while a scan runs.
    bool start(const QString& chosenFolder);

  Q_SIGNALS:
    // The entries are in the list and the pointer is back to the default.
    void finished(int added);

  private:
    void workerEnded();

    FileList& m_list;
    PointerRules& m_pointer;
    std::unique_ptr<QThread> m_worker;
    std::atomic<bool> m_stop{false};
    QStringList m_found; // the worker's alone until it has ended
    bool m_running = false;
};
