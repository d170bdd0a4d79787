// The settings profile: named text values under a driver ID and an optional
// subkey, kept in one human-readable text file. Every write reaches the disk
// atomically (temporary file, fsync, rename) before the call returns.
#pragma once

#include <QRecursiveMutex>
#include <QString>
#include <QStringList>
#include <QVector>

class ProfileStore {
public:
    // Opens (or prepares to create) the profile file. A file that exists but
    // cannot be read or parsed is never written: loadError() says why and the
    // store keeps its values in memory only.
    explicit ProfileStore(const QString &filePath);

    static QString defaultPath();

    void setDeviceType(const QString &type) { m_deviceType = type; }
    QString deviceType() const { return m_deviceType; }

    void registerDriver(const QString &driverId, const QString &description);
    bool isRegistered(const QString &driverId) const;
    // A value never written reads as "".
    QString value(const QString &driverId, const QString &name, const QString &subKey = QString()) const;
    // Returns false when the value could not be saved to disk (kept in memory).
    bool writeValue(const QString &driverId, const QString &name, const QString &value,
                    const QString &subKey = QString());
    // Whether the file holds the name at all (an empty value counts).
    bool contains(const QString &driverId, const QString &name, const QString &subKey = QString()) const;

    struct Entry {
        QString section; // "DriverId" or "DriverId/SubKey"
        QString name;
        QString value;
    };
    QVector<Entry> entries() const
    {
        QMutexLocker locked(&m_lock);
        return m_entries;
    }
    // Several values in one write to disk.
    bool writeValues(const QVector<Entry> &entries);
    static QString sectionOf(const QString &driverId, const QString &subKey);

    QString filePath() const { return m_path; }
    QString loadError() const { return m_loadError; }
    QString lastWriteError() const
    {
        QMutexLocker locked(&m_lock);
        return m_writeError;
    }
    bool readOnly() const { return !m_loadError.isEmpty(); }

    // Removes the temporary copies ("<profile>.XXXXXX", upload password and
    // all) that a write killed half-way left behind: those no running writer
    // holds. Returns how many went.
    static int removeAbandonedCopies(const QString &profilePath);

    // Text form of the file and its parser, exposed for tests.
    static QString serialize(const QVector<Entry> &entries);
    static bool parse(const QString &text, QVector<Entry> &out, QString &error);

private:
    void set(const QString &section, const QString &name, const QString &value); // marks a change
    bool save();

    // The watch saves a setting now and then while a window (Setup) reads and
    // writes others: one caller at a time.
    mutable QRecursiveMutex m_lock;
    QString m_path;
    QString m_deviceType;
    QVector<Entry> m_entries;
    QString m_loadError;
    QString m_writeError;
    // A value changed since this store last wrote the file (or it never has):
    // a save with nothing changed leaves the file alone.
    bool m_unsaved = true;
};
