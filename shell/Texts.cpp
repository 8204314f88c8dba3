#include "shell/Texts.h"

#include "platform/Errors.h"
#include "platform/Translations.h"

#include <QLoggingCategory>
#include <string>
#include <string_view>
#include <unordered_map>

Q_LOGGING_CATEGORY(lcTexts, "pixmar.texts")

namespace shell {
namespace {

struct Entry {
    const char *key;
    const char *bm;
    const char *eng;
};

// Texts are quoted exactly as the program has always shown them, typos included.
// Keys: "<window or area>.<item>". Keep each area's entries together.
const Entry kCatalogue[] = {
    // ---- shared by the picture tools (input checks, reports, labels)
    {"common.title.invalidFile", "Pixmar: Fail Tidak Sah", "Pixmar: Invalid Path"},
    {"common.title.invalidFolder", "Pixmar: Direktori Tidak Sah", "Pixmar: Invalid Path"},
    {"common.msg.noPicture", "Sila nyatakan fail gambar anda!", "Please specify your picture file!"},
    {"common.msg.noSource", "Sila nyatakan Direktori Sumber!", "Please specify Source Directory!"},
    {"common.msg.noTarget", "Sila nyatakan Direktori Sasaran", "Please specify Target Directory!"},
    // The load steps of the watermark and rotate tools say "Folder" where the runs say "Directory".
    {"common.msg.noSourceFolder", "Sila nyatakan Direktori Sumber!", "Please specify Source Folder!"},
    {"common.msg.noTargetFolder", "Sila nyatakan Direktori Sasaran", "Please specify Target Folder!"},
    {"common.msg.noImageInFolder", "Sila pastikan direktori terdapat fail imej!",
     "Please ensure the directory contains image file!"},
    {"common.title.pixmar", "Pixmar", "Pixmar"},
    {"common.title.error", "Error", "Error"},
    {"common.continue", "Continue?", "Continue?"},
    {"common.none", "None", "None"},
    // After the report's invalid files: pictures written with their mark wholly outside, or cut.
    {"common.report.markOutside", "Tanda di luar gambar (fail ditulis tanpa tanda):",
     "Mark outside the picture (written without it):"},
    {"common.report.markCut", "Tanda terpotong di tepi gambar:", "Mark cut at the picture's edge:"},
    // The command line's refusal of a file the tool does not take, and of a folder none of
    // whose files it takes.
    {"cli.msg.notAccepted", "%1 bukan gambar yang diterima oleh alat ini (ia menerima %2): tiada apa-apa ditulis.",
     "%1 is not a picture this tool takes (it takes %2): nothing was written."},
    // Progress and stop of the long commands: "i of n: name".
    {"common.progress", "%1 daripada %2: %3", "%1 of %2: %3"},
    {"common.stop", "Henti", "Stop"},
    {"common.msg.stopped", "Dihentikan. %1 daripada %2 fail telah siap.",
     "Stopped. %1 of %2 file(s) were done."},
    {"common.msg.listStopped", "Dihentikan. %1 daripada %2 fail telah disenaraikan.",
     "Stopped. %1 of %2 file(s) were listed."},
    {"common.openTitle", "Pilih Fail", "Select File"},
    {"common.label.bulk", "Direktori Fail Pukal : ", "Bulk File Directory : "},
    {"common.label.single", "Single File : ", "Single File : "},
    {"common.label.target", "Directory Sasaran : ", "Target Directory : "},
    {"common.report.done", " file(s) SELESAI.", " file(s) DONE."},
    // Captions the tool windows share: a window's own key falls back to these.
    {"common.mnu_exit", "Keluar", "Exit"},
    {"common.mnu_files", "Pilihan Fail", "File Selection"},
    {"common.mnu_single", "Satu Fail", "Single"},
    {"common.mnu_bulk", "Pukal", "Bulk"},
    {"common.mnu_folder", "Direktori Sasaran", "Target Directory"},
    {"common.mnu_sav", "Simpan Fail", "Save"},
    {"common.label.font", "Font : ", "Font : "},
    {"common.label.size", " / Saiz : ", " / Size : "},
    {"common.report.first", "Letak teks watermark untuk ", "Adding text watermark for "},
    {"common.report.header", "Berikut adalah format fail yang tidak sah:-", "Below are the invalid file format:-"},
    {"common.report.dashes", "-----------------------------------------  ", "---------------------------------  "},
    {"common.mnu_loadpic", "Muat Gambar", "Load Picture"},
    {"common.mnu_tranparent", "Tahap Ketelusan", "Transparency Level"},
    {"common.label.level", "Tahap Ketelusan : ", "Transparency Level : "},
    {"common.lblDirectory", "Direktori", "Directory"},
    {"common.cmddir", "Dir", "Dir"},
    {"common.report.total", "Jumlah fail tidak sah : ", "Total invalid file(s) : "},
    {"common.mnu_options", "Pilihan", "Options"},
    {"common.mnu_quality", "Kualiti JPEG", "JPEG Quality"},
    {"common.mnu_originalSize", "Keluaran pada Saiz Asal Gambar", "Output at Picture's Own Size"},
    {"common.mnu_keepMetadata", "Kekalkan Maklumat Foto", "Keep Photo Information"},
    {"common.mnu_lossless", "Putaran Tanpa Kehilangan", "Lossless Rotation"},
    {"common.label.options", "Pilihan : ", "Options : "},
    {"common.label.quality", "kualiti JPEG %1", "JPEG quality %1"},
    {"common.mnu_threads", "Bebenang Kerja", "Worker Threads"},
    {"common.mnu_threadsAuto", "Satu Bagi Setiap Teras", "One per Core"},
    {"common.label.threads", "%1 bebenang", "%1 threads"},
    {"common.mnu_allFormats", "Semua Format Gambar", "All Picture Formats"},
    {"common.mnu_outputFormat", "Format Keluaran", "Output Format"},
    {"common.mnu_sameFormat", "Sama Seperti Sumber", "Same as Source"},
    {"common.mnu_format.JPEG", "JPEG", "JPEG"},
    {"common.mnu_format.PNG", "PNG", "PNG"},
    {"common.mnu_format.TIFF", "TIFF", "TIFF"},
    {"common.mnu_format.WebP", "WebP", "WebP"},
    {"common.label.outputFormat", "keluaran %1", "output %1"},
    {"common.msg.outputTaken", "%1 akan ditulis sebagai %2, yang sudah ditulis oleh gambar lain dalam larian ini: fail ini dilangkau.",
     "%1 would be written as %2, which another picture of this run has already written: this file was skipped."},
    {"common.mnu_placement", "Kedudukan Tanda", "Placement"},
    {"common.mnu_placeClicked", "Seperti Diklik", "As Clicked"},
    {"common.mnu_placeRelative", "Relatif kepada Gambar", "Relative to the Picture"},
    {"common.mnu_placeAnchored", "Berlabuh", "Anchored"},
    {"common.mnu_anchor", "Sauh", "Anchor"},
    {"common.mnu_anchor.nw", "Atas Kiri", "Top Left"},
    {"common.mnu_anchor.n", "Atas Tengah", "Top Centre"},
    {"common.mnu_anchor.ne", "Atas Kanan", "Top Right"},
    {"common.mnu_anchor.w", "Tengah Kiri", "Middle Left"},
    {"common.mnu_anchor.c", "Tengah", "Centre"},
    {"common.mnu_anchor.e", "Tengah Kanan", "Middle Right"},
    {"common.mnu_anchor.sw", "Bawah Kiri", "Bottom Left"},
    {"common.mnu_anchor.s", "Bawah Tengah", "Bottom Centre"},
    {"common.mnu_anchor.se", "Bawah Kanan", "Bottom Right"},
    {"common.mnu_margin", "Jidar (% sisi pendek)", "Margin (% of Shorter Side)"},
    {"common.mnu_markSize", "Saiz Tanda (% lebar)", "Mark Size (% of Width)"},
    {"common.label.relative", "kedudukan relatif", "relative placement"},
    {"common.label.anchored", "berlabuh %1, jidar %2%, saiz %3%", "anchored %1, margin %2%, size %3%"},
    {"common.msg.noRoom", "Jidar %1% dan saiz tanda %2% tidak meninggalkan ruang untuk tanda: tiada apa-apa ditulis.",
     "A margin of %1% and a mark size of %2% leave no room for the mark: nothing was written."},
    {"common.msg.noPictureShown", "Folder ini tiada gambar yang boleh ditunjukkan: pilih folder lain.",
     "This folder holds no picture to show: choose another folder."},
    {"common.msg.showPictureFirst", "Tunjukkan gambar dahulu (Muat Gambar) sebelum menyimpan.",
     "Show a picture first (Load Picture) before saving."},
    {"common.label.step", "%1 daripada %2: %3", "%1 of %2: %3"},
    {"common.label.stepCut", " (tanda terpotong)", " (mark cut)"},
    {"common.label.stepOutside", " (tiada tanda)", " (no mark)"},
    {"common.btn.previous", "< Sebelum", "< Previous"},
    {"common.btn.next", "Seterus >", "Next >"},
    // %1 the file, %2 x %3 its size in pixels.

    // ---- errors: %1 the user's file, further values as their kind says; the system's
    // reason follows in brackets.
    {"err.fileNotFound", "Fail tidak dijumpai: %1", "File not found: %1"},
    {"err.pathNotFound", "Laluan tidak dijumpai: %1", "Path not found: %1"},
    {"err.permissionDenied", "Kebenaran ditolak: %1", "Permission denied: %1"},
    {"err.notAFile", "Bukan fail biasa: %1", "Not a regular file: %1"},
    {"err.invalidPicture", "Gambar tidak sah: %1", "Invalid picture: %1"},
    {"err.damagedPicture", "Gambar rosak atau tidak lengkap: %1", "Damaged or incomplete picture: %1"},
    {"err.pictureCutShort", "Gambar rosak, fail berakhir terlalu awal: %1",
     "Damaged picture, the file ends too early: %1"},
    {"err.pictureTooLarge", "Gambar terlalu besar: %1 (%2 x %3 piksel)",
     "Picture too large: %1 (%2 x %3 pixels)"},
    {"err.tooLargeForOwnSize",
     "Gambar terlalu besar untuk saiz asalnya: %1 (%2 x %3 piksel; paling banyak %4 piksel)",
     "Picture too large for its own size: %1 (%2 x %3 pixels; at most %4 pixels)"},
    {"err.outOfMemory", "Memori tidak mencukupi: %1", "Out of memory: %1"},
    {"err.cannotRead", "Tidak dapat membaca %1", "Cannot read %1"},
    {"err.cannotWrite", "Tidak dapat menulis %1", "Cannot write %1"},
    {"err.cannotDelete", "Tidak dapat memadam %1", "Cannot delete %1"},
    {"err.cannotRename", "Tidak dapat menamakan semula %1 kepada %2", "Cannot rename %1 to %2"},
    {"err.fileExists", "Fail sudah wujud: %1", "File already exists: %1"},
    {"err.noFreeName", "Tiada nama bebas untuk %1 dalam %2", "No free name for %1 in %2"},
    {"err.tooThin", "Gambar terlalu nipis untuk dipaparkan: %1 (%2 x %3 piksel)",
     "The picture is too thin to be shown: %1 (%2 x %3 pixels)"},
    {"err.tooThinToTurn", "Gambar terlalu nipis untuk diputar: %1 (%2 x %3 piksel)",
     "The picture is too thin to be turned: %1 (%2 x %3 pixels)"},
    {"err.markNotDrawn", "Tanda air tidak dapat dilukis pada %1", "The watermark could not be drawn on %1"},
    {"err.markNoRoom", "Tanda tidak muat pada %1 walau pada saiz terkecil: fail tidak ditulis",
     "The mark does not fit on %1 at any size: the file was not written"},
    {"err.nameNotUtf8", "Nama fail bukan UTF-8, tidak diproses: %1", "File name is not UTF-8, not processed: %1"},
    {"err.imagingFailed", "Pustaka gambar gagal", "The picture library failed"},
    // The scaled loader's and the pixel helper's texts, the same in both languages: %1 the
    // picture, or the pixel format code.
    {"err.pictureNotLoaded", "Error loading picture %1", "Error loading picture %1"},
    {"err.bitsPerPixel", "Invalid number of bits per pixel: %1", "Invalid number of bits per pixel: %1"},
    {"err.paletteNotMatched", "Error matching bitmap palette", "Error matching bitmap palette"},
    {"err.reason", " (%1)", " (%1)"},

    // ---- main window
    {"main.title", " Pixmar 1.1", " Pixmar 1.1"},
    {"main.mnu_addtext", "Masukkan Teks Di Gambar", "Insert Text on Picture"},
    {"main.mnu_txtwatermark", "Letak Teks Watermark", "Add Text Watermark"},
    {"main.mnu_logowatermark", "Letak LOGO Watermark", "Add LOGO Watermark"},
    {"main.mnu_rotate", "Ubah Posisi Gambar", "Rotate Picture"},
    {"main.mnu_gif", "Bina Fail GIF Animasi", "Animated GIF"},
    {"main.mnu_ren", "Penamaan Fail Secara Pukal", "Rename File in Bulk"},
    {"main.mnu_about", "Pixmar", "Pixmar"},
    {"main.mnu_help", "Bantuan", "Help"},
    {"main.mnu_man", "&Manual", "&Manual"},
    {"main.mnu_contact", "Hubungi Kami", "Contact Us"},
    {"main.contact", "Sila hubungi kami untuk sebarang pertanyaan.", "Please do no hesitate to contact us."},
    {"main.contactAddress", "pixmar-users@lists.pixmar.org", "pixmar-users@lists.pixmar.org"},
    {"main.manual", "PX-Malay.html", "PX-English.html"},
    {"main.msg.noManualHandler",
     "Manual tidak dapat dibuka kerana tiada aplikasi untuk membuka fail HTML. Manual terletak di:",
     "The manual cannot be opened: there is no application for HTML files. The manual is at:"},
    {"main.tip.bm", "Bahasa Malaysia", "Bahasa Malaysia"},
    {"main.tip.eng", "English", "English"},

    // ---- about window
    {"about.title", "Pixmar", "Pixmar"},
    {"about.description",
     "Pixmar adalah aplikasi yang mempunyai keupayaan untuk memasukkan teks pada gambar, menambah "
     "teks dan logo watermark pada gambar, bina fail GIF animasi, ubah posisi gambar dan menamakan "
     "semula fail-fail samada secara"
     " satu persatu atau secara pukal.",
     "Pixmar is an image application that has the capabilities of adding text on the image, adding "
     "text and logo watermark on the image either on single or "
     "bulk image files and etc at once."},
    {"about.version", "Versi 1.1, oleh pembangun Pixmar", "Version 1.1, by the Pixmar developers"},
    {"about.disclaimer",
     "Amaran: program ini ialah perisian bebas di bawah Lesen Awam Am GNU versi 3 atau lebih baru. "
     "Ia diedarkan TANPA SEBARANG JAMINAN.",
     "Warning: this program is free software under the GNU General Public License, version 3 or "
     "later. It comes WITHOUT ANY WARRANTY, to the extent permitted by law."},
    {"about.sysinfoUnavailable", "System Information Is Unavailable At This Time",
     "System Information Is Unavailable At This Time"},

    // ---- insert text (frm_Addtext)
    {"addtext.title", " Masukkan Teks Di Gambar", " Insert Text On Picture"},
    {"addtext.mnu_fontstyle", "Stail", "Style"},
    {"addtext.mnu_fontcolor", "Warna", "Color"},
    {"addtext.mnu_black", "Hitam", "Black"},
    {"addtext.mnu_blue", "Biru", "Blue"},
    {"addtext.mnu_red", "Merah", "Red"},
    {"addtext.mnu_yellow", "Kuning", "Yellow"},
    {"addtext.mnu_green", "Hijau", "Green"},
    {"addtext.mnu_magenta", "Magenta", "Magenta"},
    {"addtext.mnu_cyan", "Cyan", "Cyan"},
    {"addtext.mnu_white", "Putih", "White"},
    {"addtext.mnu_load", "Muat Gambar", "Load Picture"},
    {"addtext.mnu_addtext", "Masukkan Teks", "Text to be Added"},
    {"addtext.readout", " Posisi Tetikus (X, Y): ", " Mouse Position (X, Y): "},
    {"addtext.prompt", "Teks yang ingin dimasukkan : ", "Text to be Added : "},
    {"addtext.label.color", " / Warna : ", " / Color : "},
    {"addtext.report.title", "Masukkan Teks", "Insert Text"},
    {"addtext.report.first", "Memasukkan teks untuk ", "Inserting text for "},
    {"addtext.report.header", "Berikut adalah format fail tidak sah:-", "Below are the invalid file format:-"},
    {"addtext.report.dashes", "------------------------------------  ", "---------------------------------  "},

    // ---- text watermark (frm_Watertext)
    {"watertext.title", " Letak Teks Watermark Di Gambar", " Add Text Watermark On Picture"},
    {"watertext.titleMove", "  Letak Teks Watermark Di Gambar", "  Add Text Watermark On Picture"},
    {"watertext.mnu_txtwtr", "Teks Watermark", "Text Watermark"},
    {"watertext.readout", "Mouse Position (X, Y): ", "Mouse Position (X, Y): "},
    {"watertext.prompt", "Teks Watermark yang ingin diletak : ", "Text Watermark to be Added : "},
    {"watertext.label.single", "Fail : ", "Single File : "},
    {"watertext.label.target", "Direktori Sasaran : ", "Target Directory : "},
    {"watertext.report.title", "Teks Watermark", "Text Watermark"},

    // ---- logo watermark (frm_WaterLogo)
    {"waterlogo.title", " Letak LOGO Watermark Di Gambar", " Add LOGO Watermark On Picture"},
    // The pointer over the window: one blank in Malay, two in English.
    {"waterlogo.titleMove", " Letak LOGO Watermark Di Gambar", "  Add LOGO Watermark On Picture"},
    {"waterlogo.mnu_txtwtr", "LOGO Watermark", "LOGO Watermark"},
    {"waterlogo.readout", "Posisi Tetikus (X, Y): ", "Mouse Position (X, Y): "},
    {"waterlogo.label.single", "Fail : ", "Single File : "},
    {"waterlogo.label.target", "Direktori Sasaran : ", "Target Directory : "},
    {"waterlogo.label.logo", "Fail LOGO : ", "LOGO File : "},
    // The load step's checks have titles of their own in English; the run uses the shared ones.
    {"waterlogo.title.invalidFile", "Pixmar: Fail Tidak Sah", "Pixmar: Invalid File"},
    {"waterlogo.title.invalidFolder", "Pixmar: Direktori Tidak Sah", "Pixmar: Invalid Folder"},
    {"waterlogo.msg.noLogoLoad", "Sila nyatkan fail LOGO!", "Please specify LOGO file!"},
    {"waterlogo.msg.noLogoRun", "Sila nyatakan fail LOGO!", "Please specify LOGO file!"},
    // The report is the text watermark's, under its own title.
    {"waterlogo.report.title", "LOGO Watermark", "LOGO Watermark"},

    // ---- rotate (frm_Pusing)
    {"pusing.title", " Ubah Posisi Gambar (+90 Deg / -90 Deg)", " Rotate Picture (+90 Deg / -90 Deg)"},
    // "&&" shows as one "&".
    {"pusing.mnu_sav", "Ubah Poisi && Simpan", "Rotate && Save"},
    {"pusing.mnu_90pos", "+ 90 Degree", "+ 90 Degree"},
    {"pusing.mnu_90neg", "- 90 Degree", "- 90 Degree"},
    {"pusing.label.single", "Fail : ", "Single File : "},
    {"pusing.label.target", "Direktori Sasaran : ", "Target Directory : "},
    // The load step's own titles; the run uses the shared ones.
    {"pusing.title.invalidFile", "Pixmar: Fail Tidak Sah", "Pixmar: Invalid File"},
    {"pusing.title.invalidFolder", "Pixmar: Direktori Tidak Sah", "Pixmar: Invalid Folder"},
    {"pusing.report.title", "Ubah Posisi Gambar", "Rotate Picture"},
    {"pusing.report.first", "Ubah Posisi ", "Rotate "},
    {"pusing.report.done", " fail Gambar SELESAI.", " Picture file(s) DONE."},

    // ---- animated GIF (frm_AnimGif)
    {"animgif.title", " Bina Fail GIF Animasi", " Create Animated GIF File"},
    {"animgif.lblDelay", "Tempoh", "Delay"},
    {"animgif.msg.leftOut", "Fail %1 ini bukan gambar dan tidak disenaraikan:\r\n%2",
     "These files of %1 are no pictures and were left out:\r\n%2"},
    {"animgif.mnu_options", "Pilihan", "Options"},
    {"animgif.lblFiles", "Fail-fail Gambar", "Picture Files"},
    {"animgif.lblTransition", "*masa peralihan", "*transition time"},
    // The delay is in hundredths of a second (100 is one second), the GIF's own unit.
    {"animgif.lblUnit", "1/100 saat", "1/100 s"},
    {"animgif.mnu_fit", "Saiz Bingkai", "Frame Size"},
    {"animgif.mnu_fitOriginal", "Saiz Asal Gambar", "Picture's Own Size"},
    {"animgif.mnu_fitWithin", "Muatkan dalam %1 x %2", "Fit Within %1 x %2"},
    {"animgif.lblPreview", "Hanya Untuk Paparan: Saiz mungkin berbeza dengan imej asal",
     "Only For Preview : Size might be vary with the original image"},
    {"animgif.cmdCreate", "Bina GIF", "Create GIF"},
    {"animgif.Command1", "Padam", "Clear"},
    {"animgif.msg.noDelay", "Sila nyatakan nilai Tempoh!", "Please specify Delay value!"},
    {"animgif.msg.limit", "Mlebihi had (60000)!", "Exceeding the limit (60000)!"},
    {"animgif.msg.noFiles", "Tiada fail yang dipilih.", "No files selected."},
    {"animgif.msg.created", "Fail GIF Animasi berjaya dibina!", "Animated GIF file created successfully!"},
    {"animgif.msg.stopped",
     "Dihentikan selepas %1 daripada %2 gambar. Tiada GIF ditulis; fail lama kekal.",
     "Stopped after %1 of %2 picture(s). No GIF was written; an older one is kept."},

    // ---- bulk rename (frm_RenBulk)
    {"renbulk.title", " Menamakan Fail Secara Pukal", " Rename File in Bulk"},
    {"renbulk.cmdRen", "Nama Semula", "Rename"},
    {"renbulk.cmdclr", "Padam", "Clear"},
    {"renbulk.lblPrefix", "Nama Awalan Baru", "New Prefix Name"},
    {"renbulk.lblBefore", "Sebelum", "Before"},
    {"renbulk.lblAfter", "Selepas", "After"},
    {"renbulk.msg.limit", "Jumlah fail melebihi had (9999)!",
     "The number of files exceeds the limit (9999)!"},
    {"renbulk.report", " fail telah dinamakan semula.", " files were renamed."},
    // %1 the file of the run, %2 the path that already holds its new name.
    {"renbulk.title.nameTaken", "Pixmar: Nama Fail Sudah Wujud", "Pixmar: File Name Taken"},
    {"renbulk.msg.nameTaken",
     "Fail %1 tidak boleh dinamakan semula kepada %2 kerana nama itu sudah wujud!\r\n"
     "Tiada fail dinamakan semula.",
     "File %1 cannot be renamed to %2 because that name already exists!\r\n"
     "No file was renamed."},
    {"renbulk.title.badPrefix", "Pixmar: Nama Awalan Tidak Sah", "Pixmar: Invalid Prefix Name"},
    {"renbulk.msg.badPrefix",
     "Nama awalan tidak boleh mengandungi \"/\", \"\\\" atau aksara kawalan!",
     "The prefix name must not contain \"/\", \"\\\" or control characters!"},
    // %1 the file that could not be renamed, %2 the system's description.
    {"renbulk.msg.failed", "Fail %1 tidak dapat dinamakan semula: %2",
     "File %1 could not be renamed: %2"},
    {"renbulk.msg.restored", "Semua fail kekal dengan nama asal.", "Every file keeps its old name."},
    {"renbulk.msg.stopped",
     "Dihentikan selepas %1 daripada %2 fail; penamaan semula dibatalkan.",
     "Stopped after %1 of %2 file(s); the renaming is undone."},
    {"renbulk.msg.notRestored", "Fail berikut tidak dapat dikembalikan kepada nama asal:",
     "These files could not be given back their old names:"},
    // Preview, order, undo and the journal of the last rename. %1 is the folder throughout,
    // %2 a number of files unless said otherwise.
    {"renbulk.preview.taken", "   [nama sudah digunakan oleh fail lain]", "   [name already taken by another file]"},
    {"renbulk.mnu_order", "Susunan", "Order"},
    {"renbulk.mnu_orderName", "Ikut Nama", "By Name"},
    {"renbulk.mnu_orderTaken", "Ikut Tarikh Diambil", "By Date Taken"},
    {"renbulk.mnu_orderModified", "Ikut Tarikh Diubah Suai", "By Date Modified"},
    {"renbulk.mnu_undo", "Buat Asal Nama Semula", "Undo Rename"},
    {"renbulk.title.busy", "Pixmar: Direktori Sedang Digunakan", "Pixmar: Folder in Use"},
    {"renbulk.msg.busy",
     "Direktori %1 sedang dinamakan semula oleh Pixmar yang lain. Tiada apa-apa diubah; cuba lagi "
     "apabila ia selesai.",
     "The folder %1 is being renamed by another Pixmar. Nothing was changed; try again when it has "
     "finished."},
    {"renbulk.title.journal", "Pixmar: Jurnal Penamaan Semula", "Pixmar: Rename Journal"},
    // %3 the journal file.
    {"renbulk.msg.journalUnusable",
     "Jurnal penamaan semula bagi %1 tidak digunakan kerana %2. Tiada apa-apa diubah.\r\n"
     "Alihkan %3 ke tempat lain untuk menamakan semula atau membatalkan dalam direktori ini.",
     "The rename journal of %1 was not used because %2. Nothing was changed.\r\n"
     "Move %3 elsewhere to rename or undo in this folder."},
    {"renbulk.journal.truncated", "ia terpotong sebelum baris terakhirnya", "it is cut short before its last line"},
    {"renbulk.journal.corrupt", "ia rosak (hasil tambah semak atau satu barisnya salah)",
     "it is damaged (its checksum or one of its lines is wrong)"},
    // %1 the folder the journal records.
    {"renbulk.journal.otherFolder", "ia milik direktori lain (%1)", "it belongs to another folder (%1)"},
    {"renbulk.journal.otherUser", "ia milik pengguna lain", "it belongs to another user"},
    // %1 the system's reason.
    {"renbulk.journal.unreadable", "ia tidak dapat dibaca (%1)", "it cannot be read (%1)"},
    {"renbulk.msg.journalNotWritten",
     "Tiada fail dinamakan semula: jurnal yang membolehkan penamaan semula dibatalkan tidak dapat "
     "ditulis.\r\n%1",
     "No file was renamed: the journal that lets the rename be undone cannot be written.\r\n%1"},
    {"renbulk.msg.readOnly", "Direktori %1 berada pada sistem fail baca sahaja. Tiada apa-apa diubah.",
     "The folder %1 is on a read-only file system. Nothing was changed."},
    {"renbulk.msg.interrupted",
     "Penamaan semula %1 telah terganggu: %2 daripada %3 fail sudah bernama baharu.\r\n"
     "Ya menyelesaikannya; Tidak membatalkannya dan setiap fail kembali kepada nama asalnya.",
     "A rename of %1 was interrupted: %2 of %3 files have their new names.\r\n"
     "Yes finishes it; No rolls it back, giving every file its old name."},
    {"renbulk.msg.interruptedFirst",
     "Penamaan semula %1 yang terganggu perlu diselesaikan atau dibatalkan dahulu: pilih direktori "
     "itu semula (Dir). Tiada fail dinamakan semula.",
     "An interrupted rename of %1 must be finished or rolled back first: choose the folder again "
     "(Dir). No file was renamed."},
    {"renbulk.msg.interruptedLeft",
     "Penamaan semula %1 telah terganggu dan dibiarkan seperti sedia ada; penamaan semula tanpa "
     "--dry-run membatalkannya dahulu.",
     "A rename of %1 was interrupted and is left as it is; a rename without --dry-run rolls it "
     "back first."},
    {"renbulk.msg.finished", "Penamaan semula %1 yang terganggu telah diselesaikan: %2 fail bernama baharu.",
     "The interrupted rename of %1 was finished: %2 files have their new names."},
    {"renbulk.msg.rolledBack",
     "Penamaan semula %1 yang terganggu telah dibatalkan: %2 fail kembali kepada nama asal.",
     "The interrupted rename of %1 was rolled back: %2 files have their old names again."},
    {"renbulk.msg.undoCompleted",
     "Pembatalan penamaan semula %1 yang terganggu telah diselesaikan: %2 fail kembali kepada nama asal.",
     "The interrupted undo of the last rename of %1 was completed: %2 files have their old names again."},
    {"renbulk.msg.undone", "%2 fail dalam %1 kembali kepada nama asal.",
     "%2 files in %1 have their old names again."},
    {"renbulk.title.undo", "Pixmar: Tidak Dapat Dibatalkan", "Pixmar: Cannot Undo"},
    {"renbulk.msg.nothingToUndo", "Tiada penamaan semula untuk dibatalkan dalam %1.",
     "There is no rename to undo in %1."},
    // %1 the file under its new name.
    {"renbulk.msg.undoChanged",
     "%1 telah dinamakan semula, dipadam atau diganti sejak penamaan semula. Tiada apa-apa dibatalkan.",
     "%1 has been renamed, removed or replaced since the rename. Nothing was undone."},
    // %1 the file, %2 the name it needs.
    {"renbulk.msg.blocked",
     "%1 tidak dapat diberi nama %2 kerana nama itu sudah digunakan. Tiada apa-apa diubah.",
     "%1 cannot be given the name %2 because that name is taken. Nothing was changed."},
    // %1 the file, %2 the system's description.
    {"renbulk.msg.settleFailed",
     "Fail %1 tidak dapat dialihkan: %2\r\nApa yang tinggal diselesaikan apabila direktori ini dibuka "
     "atau dibatalkan semula.",
     "File %1 could not be moved: %2\r\nWhat is left is taken care of when this folder is opened or "
     "undone again."},
    {"renbulk.msg.missing", "Fail berikut tidak dijumpai dan dibiarkan:",
     "These files were not found and are left as they are:"},
    {"renbulk.dryRun.report", "Larian cuba: %1 fail akan dinamakan semula; tiada apa-apa diubah.",
     "Dry run: %1 files would be renamed; nothing was changed."},

    // ---- command line
};

const std::unordered_map<std::string_view, const Entry *> &index()
{
    static const auto map = [] {
        std::unordered_map<std::string_view, const Entry *> m;
        for (const Entry &e : kCatalogue)
            m.emplace(e.key, &e);
        return m;
    }();
    return map;
}

QString &languageCode()
{
    static QString code = QStringLiteral("eng");
    return code;
}

} // namespace

QString varbahasa() { return languageCode(); }
void setVarbahasa(const QString &code)
{
    languageCode() = code;
    platform::setDialogLanguage(isMalay(code));
}
bool isMalay(const QString &code) { return code == QLatin1String("bm"); }

bool hasText(const char *key) { return index().count(key) != 0; }

QStringList catalogueTexts(const QString &code)
{
    QStringList out;
    for (const Entry &e : kCatalogue)
        out << QString::fromUtf8(isMalay(code) ? e.bm : e.eng);
    return out;
}

QString tx(const char *key, const QString &code)
{
    auto it = index().find(key);
    if (it == index().end()) {
        // A window's caption that all windows share lives once, under "common.".
        const std::string_view k(key);
        const auto dot = k.find('.');
        if (dot != std::string_view::npos) {
            const std::string common = "common" + std::string(k.substr(dot));
            it = index().find(common);
        }
    }
    if (it == index().end()) {
        qCWarning(lcTexts) << "unknown text key" << key;
        return QStringLiteral("[%1]").arg(QLatin1String(key));
    }
    return QString::fromUtf8(isMalay(code) ? it->second->bm : it->second->eng);
}

QString tx(const char *key) { return tx(key, varbahasa()); }

void installCatalogue()
{
    platform::setTextLookup([](const char *key) { return tx(key); });
}

} // namespace shell
