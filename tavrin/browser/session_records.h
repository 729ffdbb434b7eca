// Records the result list keeps for its rows, one per row in row order (the list never
// sorts), read by player dispatch when an action cell is double-clicked: CListCtrlEx keeps
// m_drpData for the graphical layout (m_nLayout 1) and m_stringData for the character layout
// (m_nLayout 2). Row i of the list has record i.
//
// Wide paths are the package folder (program folder, '/', package name, decoded from UTF-8)
// followed by a name from the row decoded from the ANSI code page. The *Bytes fields hold
// the same path as the file system takes it (UTF-8 folder, then the row's ANSI bytes), for
// opening the file or handing it to a player unchanged.
#pragma once

#include <string>

#include <QString>

// One row of the graphical layout (views unix_xapp_log, unix_vsms_log and the joined view).
struct drpData {
    QString strPath;           // recording path without extension:
                               // "{package folder}/var/utm/data/sessions/{recording name}"
    int nWidth = 0;            // screen width (leading decimal number of its field, else 0)
    int nHeight = 0;           // screen height
    QString strName;           // recording name as read from the row
    int nCode = 0;             // decimal value of position 1 of the row
    std::string strPathBytes;  // strPath as file-system bytes
    std::string strNameBytes;  // strName as the bytes the row holds (what Morvel looks up)
};

// One row of the character layout (views unix_sms_log and unix_xfer_log).
struct StringData {
    QString strPath;   // mapped path of the session's text record (position 9)
    QString strPath2;  // mapped path of the second file (position 10), empty when
                       // that file cannot be opened for reading
    QString strExtra;  // always empty
    QString strKey;    // session key (position 8): names the session's child.db table
    int nWidth = 100;
    int nHeight = 30;
    std::string strPathBytes;   // strPath as file-system bytes
    std::string strPath2Bytes;  // strPath2 as file-system bytes (empty with strPath2)
    std::string strKeyBytes;    // strKey as the bytes the row holds (the table's real name)
};
