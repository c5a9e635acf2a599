#pragma once
// The frame sink of zelvano-receiver: every frame becomes one text file in a folder, the
// lines exactly as they came. A frame is written as it arrives under a hidden temporary
// name of ours (".zelvano-reception-….part") and renamed when it ends:
// "feuille-AAAAMMJJ-HHMMSS-mmm-N.txt" when complete, "….incomplet.txt" when cut short.
// A refused frame's temporary file is removed. A reader of the folder never sees half a
// sheet under a sheet's name.
#include "FrameSink.h"

#include <QDir>
#include <QStringList>

class FileFrameSink : public FrameSink {
public:
    explicit FileFrameSink(const QString &folder);

    // Creates the folder when needed; returns an empty string, else the French reason.
    // The frames a receiver was writing when it was stopped abnormally (its process is
    // gone) are kept as cut short; recovered() names them.
    QString prepare();
    QStringList recovered() const { return m_recovered; }
    QString folderPath() const { return m_folder.absolutePath(); }

    std::unique_ptr<FrameSinkFrame> begin(const FrameInfo &info, QString *error) override;

    // The temporary files of frames in progress start with this.
    static QString temporaryPrefix();

private:
    friend class FileFrame;
    QString nextName(const QString &suffix);

    void recoverLeftovers();

    QDir m_folder;
    QStringList m_recovered;
    quint64 m_sequence = 0;
    quint64 m_temporarySequence = 0;
};
