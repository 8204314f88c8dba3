<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- Malay for the texts of Qt's own dialogs that Pixmar shows (file, folder and font dialogs,
     the input box and the message boxes' buttons). Contexts and source texts are Qt 6.4's;
     a test checks each dialog against them. The font weight and style names of QFontDatabase
     stay English: the font dialog matches them against the fonts' own style names. -->
<TS version="2.1" language="ms_MY">
<context>
    <name>QGuiApplication</name>
    <message>
        <source>QT_LAYOUT_DIRECTION</source>
        <comment>Translate this string to the string 'LTR' in left-to-right languages or to 'RTL' in right-to-left languages (such as Hebrew and Arabic) to get proper widget layout.</comment>
        <translation>LTR</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Batal</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Batal</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ya</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ya</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Tidak</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Tidak</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Buka</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Tutup</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Simpan</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Guna</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>Look in:</source>
        <translation>Lihat dalam:</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Undur</translation>
    </message>
    <message>
        <source>Go back</source>
        <translation>Undur ke folder sebelumnya</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>Maju</translation>
    </message>
    <message>
        <source>Go forward</source>
        <translation>Maju ke folder seterusnya</translation>
    </message>
    <message>
        <source>Parent Directory</source>
        <translation>Folder Induk</translation>
    </message>
    <message>
        <source>Go to the parent directory</source>
        <translation>Pergi ke folder induk</translation>
    </message>
    <message>
        <source>Create New Folder</source>
        <translation>Cipta Folder Baharu</translation>
    </message>
    <message>
        <source>Create a New Folder</source>
        <translation>Cipta folder baharu</translation>
    </message>
    <message>
        <source>List View</source>
        <translation>Paparan Senarai</translation>
    </message>
    <message>
        <source>Change to list view mode</source>
        <translation>Tukar ke paparan senarai</translation>
    </message>
    <message>
        <source>Detail View</source>
        <translation>Paparan Terperinci</translation>
    </message>
    <message>
        <source>Change to detail view mode</source>
        <translation>Tukar ke paparan terperinci</translation>
    </message>
    <message>
        <source>Sidebar</source>
        <translation>Bar Sisi</translation>
    </message>
    <message>
        <source>List of places and bookmarks</source>
        <translation>Senarai tempat dan penanda buku</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Fail</translation>
    </message>
    <message>
        <source>Files of type:</source>
        <translation>Jenis fail:</translation>
    </message>
    <message>
        <source>File &amp;name:</source>
        <translation>&amp;Nama fail:</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Buka</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Semua Fail (*)</translation>
    </message>
    <message>
        <source>Show </source>
        <translation>Tunjuk </translation>
    </message>
    <message>
        <source>&amp;Rename</source>
        <translation>&amp;Namakan Semula</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Padam</translation>
    </message>
    <message>
        <source>Show &amp;hidden files</source>
        <translation>Tunjukkan fail &amp;tersembunyi</translation>
    </message>
    <message>
        <source>&amp;New Folder</source>
        <translation>Folder &amp;Baharu</translation>
    </message>
    <message>
        <source>New Folder</source>
        <translation>Folder Baharu</translation>
    </message>
    <message>
        <source>Directories</source>
        <translation>Direktori</translation>
    </message>
    <message>
        <source>Directory:</source>
        <translation>Direktori:</translation>
    </message>
    <message>
        <source>&amp;Choose</source>
        <translation>&amp;Pilih</translation>
    </message>
    <message>
        <source>Recent Places</source>
        <translation>Tempat Terkini</translation>
    </message>
    <message>
        <source>My Computer</source>
        <translation>Komputer Saya</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Padam</translation>
    </message>
    <message>
        <source>Are you sure you want to delete '%1'?</source>
        <translation>Adakah anda pasti mahu memadam '%1'?</translation>
    </message>
    <message>
        <source>'%1' is write protected.
Do you want to delete it anyway?</source>
        <translation>'%1' dilindungi daripada ditulis.
Adakah anda tetap mahu memadamnya?</translation>
    </message>
    <message>
        <source>Could not delete directory.</source>
        <translation>Direktori tidak dapat dipadam.</translation>
    </message>
    <message>
        <source>%1
Directory not found.
Please verify the correct directory name was given.</source>
        <translation>%1
Direktori tidak dijumpai.
Sila pastikan nama direktori yang diberi betul.</translation>
    </message>
    <message>
        <source>%1
File not found.
Please verify the correct file name was given.</source>
        <translation>%1
Fail tidak dijumpai.
Sila pastikan nama fail yang diberi betul.</translation>
    </message>
</context>
<context>
    <name>QFileSystemModel</name>
    <message>
        <source>Name</source>
        <translation>Nama</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Saiz</translation>
    </message>
    <message>
        <source>Type</source>
        <comment>All other platforms</comment>
        <translation>Jenis</translation>
    </message>
    <message>
        <source>Date Modified</source>
        <translation>Tarikh Diubah</translation>
    </message>
    <message>
        <source>Computer</source>
        <translation>Komputer</translation>
    </message>
    <message>
        <source>My Computer</source>
        <translation>Komputer Saya</translation>
    </message>
</context>
<context>
    <name>QAbstractFileIconProvider</name>
    <message>
        <source>Drive</source>
        <translation>Pemacu</translation>
    </message>
    <message>
        <source>Folder</source>
        <comment>All other platforms</comment>
        <translation>Folder</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <comment>All other platforms</comment>
        <translation>Pintasan</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Tidak diketahui</translation>
    </message>
</context>
<context>
    <name>QLocale</name>
    <message>
        <source>%1 bytes</source>
        <translation>%1 bait</translation>
    </message>
</context>
<context>
    <name>QFontDialog</name>
    <message>
        <source>Select Font</source>
        <translation>Pilih Fon</translation>
    </message>
    <message>
        <source>&amp;Font</source>
        <translation>&amp;Fon</translation>
    </message>
    <message>
        <source>Font st&amp;yle</source>
        <translation>&amp;Gaya fon</translation>
    </message>
    <message>
        <source>&amp;Size</source>
        <translation>&amp;Saiz</translation>
    </message>
    <message>
        <source>Effects</source>
        <translation>Kesan</translation>
    </message>
    <message>
        <source>Stri&amp;keout</source>
        <translation>&amp;Garis tengah</translation>
    </message>
    <message>
        <source>&amp;Underline</source>
        <translation>Garis &amp;bawah</translation>
    </message>
    <message>
        <source>Sample</source>
        <translation>Contoh</translation>
    </message>
    <message>
        <source>Wr&amp;iting System</source>
        <translation>Sistem &amp;tulisan</translation>
    </message>
</context>
<context>
    <name>QFontDatabase</name>
    <message>
        <source>Any</source>
        <translation>Semua</translation>
    </message>
    <message>
        <source>Latin</source>
        <translation>Latin</translation>
    </message>
    <message>
        <source>Greek</source>
        <translation>Yunani</translation>
    </message>
    <message>
        <source>Cyrillic</source>
        <translation>Cyril</translation>
    </message>
    <message>
        <source>Armenian</source>
        <translation>Armenia</translation>
    </message>
    <message>
        <source>Hebrew</source>
        <translation>Ibrani</translation>
    </message>
    <message>
        <source>Arabic</source>
        <translation>Arab</translation>
    </message>
    <message>
        <source>Syriac</source>
        <translation>Syriak</translation>
    </message>
    <message>
        <source>Thaana</source>
        <translation>Thaana</translation>
    </message>
    <message>
        <source>Devanagari</source>
        <translation>Dewanagari</translation>
    </message>
    <message>
        <source>Bengali</source>
        <translation>Benggali</translation>
    </message>
    <message>
        <source>Gurmukhi</source>
        <translation>Gurmukhi</translation>
    </message>
    <message>
        <source>Gujarati</source>
        <translation>Gujarat</translation>
    </message>
    <message>
        <source>Oriya</source>
        <translation>Oriya</translation>
    </message>
    <message>
        <source>Tamil</source>
        <translation>Tamil</translation>
    </message>
    <message>
        <source>Telugu</source>
        <translation>Telugu</translation>
    </message>
    <message>
        <source>Kannada</source>
        <translation>Kannada</translation>
    </message>
    <message>
        <source>Malayalam</source>
        <translation>Malayalam</translation>
    </message>
    <message>
        <source>Sinhala</source>
        <translation>Sinhala</translation>
    </message>
    <message>
        <source>Thai</source>
        <translation>Thai</translation>
    </message>
    <message>
        <source>Lao</source>
        <translation>Laos</translation>
    </message>
    <message>
        <source>Tibetan</source>
        <translation>Tibet</translation>
    </message>
    <message>
        <source>Myanmar</source>
        <translation>Myanmar</translation>
    </message>
    <message>
        <source>Georgian</source>
        <translation>Georgia</translation>
    </message>
    <message>
        <source>Khmer</source>
        <translation>Khmer</translation>
    </message>
    <message>
        <source>Simplified Chinese</source>
        <translation>Cina Ringkas</translation>
    </message>
    <message>
        <source>Traditional Chinese</source>
        <translation>Cina Tradisional</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>Jepun</translation>
    </message>
    <message>
        <source>Korean</source>
        <translation>Korea</translation>
    </message>
    <message>
        <source>Vietnamese</source>
        <translation>Vietnam</translation>
    </message>
    <message>
        <source>Symbol</source>
        <translation>Simbol</translation>
    </message>
    <message>
        <source>Ogham</source>
        <translation>Ogham</translation>
    </message>
    <message>
        <source>Runic</source>
        <translation>Runik</translation>
    </message>
    <message>
        <source>N'Ko</source>
        <translation>N'Ko</translation>
    </message>
</context>
</TS>
