#include "base/Messages.h"

#include <array>

namespace kestrum {

namespace {

struct Triple
{
    const char16_t* simplified;
    const char16_t* traditional;
    const char16_t* english;
};

// Texts exactly as the program shows them, trailing blanks and leading line feeds included.
constexpr std::array<Triple, MessageCount> Table {{
    {u"未知型号芯片ID =", u"未知型號芯片ID =", u"Unknown chip ID ="},
    {u"请手动选择兼容型号。", u"請手動選擇兼容型號。", u"Please choose the compatibility type manually."},
    {u"没有检测到芯片，请放置芯片再试！", u"沒有檢測到芯片，請放置芯片再試！",
        u"No chips detected, please put the chip to try again!"},
    {u"检测到芯片：", u"檢測到芯片：", u"The chip was detected:"},
    {u"\n\n芯片类型 ：", u"\n\n芯片類型 ：", u"\n\n Chip type"},
    {u"检测到芯片芯片类型: ", u"檢測到芯片芯片類型: ", u"Chip type is detected:"},
    {u"\n\n请手动选择对应型号烧写。", u"\n\n請手動選擇對應型號燒寫。",
        u"\n\n Please manually select the corresponding type burn."},
    {u"配置文件被破坏！", u"配置文件被破壞！", u"The configuration file was destroyed."},
    {u"文件已存在,是否覆盖?", u"文件已存在,是否覆蓋?", u"File already exists. Is it covered? "},
    {u"写入文件出错。", u"寫入文件出錯。", u"Error writing file."},
    {u"检测到编程器，工作状态正常。", u"檢測到編程器，工作狀態正常。",
        u"The programmer is detected, and the working state is normal."},
    {u"准备好", u"準備好", u"Ready"},
    {u"编程器未接入", u"編程器未接入", u"Not connected"},
    {u"擦除 Flash ...", u"擦除 Flash ...", u"Erase Flash ..."},
    {u"读出 Flash ...", u"讀出 Flash ...", u"Read Flash ..."},
    {u"查空 Flash ...", u"查空 Flash ...", u"Bank Flash ..."},
    {u"芯片没有擦空", u"芯片沒有擦空", u"The chip is not empty."},
    {u"校验 Flash ...", u"校驗 Flash ...", u"Verify Flash ..."},
    {u"Flash 校验错误地址: ", u"Flash 校驗錯誤地址: ", u"Flash check error address:"},
    {u"编程 Flash ...", u"編程 Flash ... ", u"Write Flash ..."},
    {u"文件长度大于芯片容量,是否继续烧录?", u"文件長度大於芯片容量,是否繼續烧录?",
        u"File length is larger than chip capacity. Do you want to continue to write?"},
    {u"打开", u"打開", u"Open"},
    {u"读出完成！", u"讀出完成！", u"Read Complete!"},
    {u"芯片为空！", u"芯片為空！", u"The chip is empty!"},
    {u"擦除完成！", u"擦除完成！", u"Erase Complete!"},
    {u"写入完成！", u"寫入完成！", u"Write Complete!"},
    {u"缓冲区数据为空，请加载数据文件。", u"緩沖區數據為空，請加載數據文件。",
        u"The buffer data is empty. Please load the data file.."},
    {u"校验完成！", u"校驗完成！", u"Verify Complete!"},
    {u"自动编程校验通过！", u"自動編程校驗通過！", u"AUTO Complete!"},
    {u"自动编程校验失败！", u"自動編程校驗失敗！", u"AUTO Failure!"},
    {u"查空完成！", u"查空完成！", u"Bank Complete!"},
    // Added entries.
    {u"编程器通信失败。", u"編程器通信失敗。", u"Programmer communication failed."},
    {u"擦除超时，芯片仍未擦除完成！", u"擦除超時，芯片仍未擦除完成！", u"The chip did not finish erasing in time."},
    {u"芯片容量超出缓冲区，操作已取消。", u"芯片容量超出緩沖區，操作已取消。",
        u"The chip is larger than the data buffer; nothing was done."},
    {u"芯片页面大小为 0，无法擦除。", u"芯片頁面大小為 0，無法擦除。",
        u"The chip's page size is 0, so it cannot be erased."},
    {u"无法读取芯片数据库 %1：%2", u"無法讀取芯片數據庫 %1：%2", u"Cannot read the chip database %1: %2"},
    {u"无法写入芯片数据库 %1：%2", u"無法寫入芯片數據庫 %1：%2", u"Cannot write the chip database %1: %2"},
    {u"填充范围超出缓冲区或开始地址大于结束地址。", u"填充範圍超出緩沖區或開始地址大於結束地址。",
        u"The fill range lies outside the buffer or starts after its end."},
    {u"请先在列表“%1”中选择一项。", u"請先在列表“%1”中選擇一項。", u"Choose an entry in the list \"%1\" first."},
    {u"芯片数据库最多容纳 %1 个芯片，表格中有 %2 行芯片。", u"芯片數據庫最多容納 %1 個芯片，表格中有 %2 行芯片。",
        u"The chip database holds at most %1 chips; the grid has %2 chip rows."},
    {u"第 %1 行：名称“%2”无法用 GBK 编码保存。", u"第 %1 行：名稱“%2”無法用 GBK 編碼保存。",
        u"Row %1: the names \"%2\" cannot be written in the GBK code page."},
    {u"第 %1 行：名称“%2”占 %3 字节，芯片记录最多容纳 %4 字节。",
        u"第 %1 行：名稱“%2”佔 %3 字節，芯片記錄最多容納 %4 字節。",
        u"Row %1: the names \"%2\" take %3 bytes; a chip record holds at most %4."},
    {u"未选择芯片。请先在类型、厂商和名称列表中选择芯片（没有芯片数据库时列表为空）。",
        u"未選擇芯片。請先在類型、廠商和名稱列表中選擇芯片（沒有芯片數據庫時列表為空）。",
        u"No chip is selected. Choose the chip in the Type, Manufacturer and Name lists first (without a chip "
        u"database the lists are empty)."},
    {u"所选芯片的记录有误：%1请在芯片编辑器中更正。", u"所選芯片的記錄有誤：%1請在芯片編輯器中更正。",
        u"The record of the selected chip cannot be right: %1 Correct it in the chip editor."},
    {u"容量必须在 1 字节到 64 MiB（67108864 字节）之间。", u"容量必須在 1 字節到 64 MiB（67108864 字節）之間。",
        u"The capacity must be from 1 byte to 64 MiB (67108864 bytes)."},
    {u"芯片类别必须在 0 到 3 之间。", u"芯片類別必須在 0 到 3 之間。", u"The chip class must be from 0 to 3."},
    {u"此芯片类别的页面大小不能为 0。", u"此芯片類別的頁面大小不能為 0。",
        u"The page size must not be 0 for this chip class."},
    {u"检测到编程器，但无权打开它（权限被拒绝）。请参阅 README.md 中的“Using the programmer”一节。",
        u"檢測到編程器，但無權打開它（權限被拒絕）。請參閱 README.md 中的“Using the programmer”一節。",
        u"The programmer is plugged in, but this user may not open it (permission denied). See \"Using the "
        u"programmer\" in README.md."},
    {u"检测到编程器，但它正被其他程序使用（接口忙）。", u"檢測到編程器，但它正被其他程序使用（接口忙）。",
        u"The programmer is plugged in, but another program is using it (interface busy)."},
    {u"检测到带有编程器 USB ID 的设备，但它自称“%1”，不是编程器。",
        u"檢測到帶有編程器 USB ID 的設備，但它自稱“%1”，不是編程器。",
        u"A device with the programmer's USB IDs is plugged in, but it names itself \"%1\", not as the "
        u"programmer."},
    {u"检测到编程器，但无法打开它：%1", u"檢測到編程器，但無法打開它：%1",
        u"The programmer is plugged in, but it cannot be opened: %1"},
    {u"保存为胶囊文件（.cap）需要先打开一个胶囊文件以取得它的 2048 字节文件头；未写入任何内容。",
        u"保存為膠囊文件（.cap）需要先打開一個膠囊文件以取得它的 2048 字節文件頭；未寫入任何內容。",
        u"Saving as a capsule (.cap) needs the 2048-byte header of a capsule opened before; nothing was "
        u"written."},
    {u"未保存到 %1：%2", u"未保存到 %1：%2", u"Nothing was saved to %1: %2"},
    {u"它不是普通文件", u"它不是普通文件", u"it is not a regular file"},
    {u"它是其他用户放在共享文件夹中的符号链接", u"它是其他用戶放在共享文件夾中的符號鏈接",
        u"it is a symbolic link that another user placed in a shared folder"},
    {u"无法写入设置文件 %1：%2", u"無法寫入設置文件 %1：%2", u"Cannot write the settings file %1: %2"},
    {u"Motorola S-record 格式", u"Motorola S-record 格式", u"Motorola S-record"},
    {u"第 %1 行：%2", u"第 %1 行：%2", u"Row %1: %2"},
    {u"缓冲区有未保存的更改。要放弃它们吗？", u"緩衝區有未保存的更改。要放棄它們嗎？",
        u"The buffer has changes that are not saved. Discard them?"},
    {u"模拟编程器：没有插入编程器", u"模擬編程器：沒有插入編程器",
        u"Simulated programmer: no programmer is plugged in"},
    {u"模拟编程器：按 --sim 选择", u"模擬編程器：按 --sim 選擇", u"Simulated programmer: chosen with --sim"},
    {u"真实编程器", u"真實編程器", u"Real programmer"},
    {u"本版本附带了更新的芯片数据库。是否用它替换您编辑过的副本 %1？",
        u"本版本附帶了更新的芯片數據庫。是否用它替換您編輯過的副本 %1？",
        u"This version comes with a newer chip database. Replace your edited copy %1 with it?"},
    {u"无法把芯片数据库复制到 %1：%2", u"無法把芯片數據庫複製到 %1：%2", u"Cannot copy the chip database to %1: %2"},
    {u"数据库中没有与 %1 匹配的芯片", u"數據庫中沒有與 %1 匹配的芯片", u"No chip in the database matches %1"},
    {u"%1 与多个芯片匹配，请用 --chip 选择其一：", u"%1 與多個芯片匹配，請用 --chip 選擇其一：",
        u"%1 matches several chips; choose one with --chip:"},
    {u"请用 --chip 或 --detect 选择芯片。", u"請用 --chip 或 --detect 選擇芯片。",
        u"Choose a chip with --chip or --detect."},
    {u"未知速度：%1", u"未知速度：%1", u"Unknown speed: %1"},
    {u"已按 Ctrl+C 停止。", u"已按 Ctrl+C 停止。", u"Stopped by Ctrl+C."},
    {u"文件已存在，未覆盖（用 --yes 覆盖）：%1", u"文件已存在，未覆蓋（用 --yes 覆蓋）：%1",
        u"The file exists and was not replaced (--yes replaces it): %1"},
    {u"芯片 %1：通过（序列号 %2）", u"芯片 %1：通過（序列號 %2）", u"Chip %1: passed (serial %2)"},
    {u"芯片 %1：失败（序列号 %2）", u"芯片 %1：失敗（序列號 %2）", u"Chip %1: failed (serial %2)"},
    {u"请取出芯片并放入下一片（Ctrl+C 结束）。", u"請取出芯片並放入下一片（Ctrl+C 結束）。",
        u"Take the chip out and put the next one in (Ctrl+C ends)."},
    {u"通过：%1，失败：%2", u"通過：%1，失敗：%2", u"Passed: %1, failed: %2"},
    {u"插座中的芯片回应 ID %1，但选择的是 %2（%3）。仍要继续吗？",
        u"插座中的芯片回應 ID %1，但選擇的是 %2（%3）。仍要繼續嗎？",
        u"The chip in the socket answers ID %1, but %2 (%3) is selected. Continue anyway?"},
    {u"插座中的芯片回应 ID %1，但选择的是 %2（%3）。", u"插座中的芯片回應 ID %1，但選擇的是 %2（%3）。",
        u"The chip in the socket answers ID %1, but %2 (%3) is selected."},
    {u"CRC-32：%1（%2 字节）", u"CRC-32：%1（%2 位元組）", u"CRC-32: %1 (%2 bytes)"},
    {u"缓冲区信息", u"緩衝區資訊", u"Buffer information"},
    {u"已用长度：%1 字节", u"已用長度：%1 位元組", u"Used length: %1 bytes"},
    {u"芯片容量：%1 字节", u"芯片容量：%1 位元組", u"Chip size: %1 bytes"},
    {u"已用部分：\nCRC-32：%1\nSHA-256：%2", u"已用部分：\nCRC-32：%1\nSHA-256：%2",
        u"Used part:\nCRC-32: %1\nSHA-256: %2"},
    {u"芯片容量部分：\nCRC-32：%1\nSHA-256：%2", u"芯片容量部分：\nCRC-32：%1\nSHA-256：%2",
        u"Chip-size part:\nCRC-32: %1\nSHA-256: %2"},
    {u"复制", u"複製", u"Copy"},
    {u"保存：%1", u"保存：%1", u"Save: %1"},
    {u"填充：字节 %1，%2 - %3", u"填充：字節 %1，%2 - %3", u"Fill: byte %1, %2 - %3"},
    {u"填充：字 %1，%2 - %3", u"填充：字 %1，%2 - %3", u"Fill: word %1, %2 - %3"},
    {u"填充：随机数，%1 - %2", u"填充：隨機數，%1 - %2", u"Fill: random, %1 - %2"},
    {u"已停止", u"已停止", u"Stopped"},
    {u"%1，剩余 %2", u"%1，剩餘 %2", u"%1, %2 left"},
    {u"芯片操作正在进行。停止它并关闭窗口吗？", u"芯片操作正在進行。停止它並關閉視窗嗎？",
        u"A chip job is running. Stop it and close the window?"},
    {u"芯片 ID：%1", u"芯片 ID：%1", u"Chip ID: %1"},
    {u"选择芯片", u"選擇芯片", u"Choose the chip"},
    {u"有 %1 种芯片回应 ID %2。请选择插座中的芯片：", u"有 %1 種芯片回應 ID %2。請選擇插座中的芯片：",
        u"%1 chips answer ID %2. Choose the one in the socket:"},
    {u"厂商", u"廠商", u"Manufacturer"},
    {u"名称", u"名稱", u"Name"},
    {u"容量", u"容量", u"Size"},
    {u"电压", u"電壓", u"Voltage"},
    {u"确定", u"確定", u"OK"},
    {u"取消", u"取消", u"Cancel"},
    {u"\n这些芯片需要不同的供电电压，请按芯片上的标记选择。", u"\n這些芯片需要不同的供電電壓，請按芯片上的標記選擇。",
        u"\nThese chips need different supply voltages: the marking on the chip decides."},
    {u"%1 的供电电压：%2", u"%1 的供電電壓：%2", u"Supply voltage of %1: %2"},
    {u"%1，第 %2 行", u"%1，第 %2 行", u"%1, line %2"},
    {u"读出在 %2 字节中的 %1 字节后结束", u"讀出在 %2 位元組中的 %1 位元組後結束", u"Read ended after %1 of %2 bytes"},
    {u"（文件 %1 字节，芯片 %2 字节）", u"（檔案 %1 位元組，芯片 %2 位元組）", u"(image %1 bytes, chip %2 bytes)"},
    {u"请检查 USB 线和编程器，见 README“使用编程器”。", u"請檢查 USB 線和編程器，見 README「使用編程器」。",
        u"Check the USB cable and the programmer; see README \"Using the programmer\"."},
    {u"%1：%2", u"%1：%2", u"%1: %2"},
    {u"（地址 %1h）", u"（地址 %1h）", u"(at address %1h)"},
    {u"编程器已被拔出。", u"編程器已被拔出。", u"The programmer was unplugged."},
    {u"未开始写入：", u"未開始寫入：", u"Write not started: "},
    {u"回应的芯片：%1", u"回應的芯片：%1", u"The chip that answered: %1"},
    {u"使用 %1", u"使用 %1", u"Use %1"},
    {u"保留 %1", u"保留 %1", u"Keep %1"},
    {u"所有支持的文件", u"所有支援的檔案", u"All supported files"},
    {u"芯片列表有未保存的修改。仍要关闭吗？", u"芯片列表有未保存的修改。仍要關閉嗎？",
        u"The chip list has changes that are not saved. Close anyway?"},
    {u"无法读取文件：%1", u"無法讀取文件：%1", u"Cannot read the file: %1"},
    {u"芯片数据库中已损坏的记录已被略去：%1", u"芯片數據庫中已損壞的記錄已被略去：%1",
        u"Damaged records of the chip database were left out: %1"},
    {u"文件比芯片容量长 %1 字节，这些字节无法校验。是否校验芯片容量内的部分？",
        u"文件比芯片容量長 %1 字節，這些字節無法校驗。是否校驗芯片容量內的部分？",
        u"The file is %1 bytes longer than the chip; those bytes cannot be compared. Verify the part that fits "
        u"the chip?"},
    {u"已被 %1 信号停止。", u"已被 %1 信號停止。", u"Stopped by %1."},
    {u"无法写入作业记录 %1：%2；运行在此芯片后结束。", u"無法寫入作業記錄 %1：%2；運行在此芯片後結束。",
        u"Cannot write the job log %1: %2; the run ends after this chip."},
    {u"设置 %1=%2（%3）超出范围，已改用默认值。", u"設置 %1=%2（%3）超出範圍，已改用預設值。",
        u"The setting %1=%2 in %3 is out of range; the default is used."},
    {u"剪贴板中没有十六进制字节（例如 4B 45、4B45 或 0x4B,0x45）。",
        u"剪貼簿中沒有十六進位位元組（例如 4B 45、4B45 或 0x4B,0x45）。",
        u"The clipboard holds no hexadecimal bytes (such as 4B 45, 4B45 or 0x4B,0x45)."},
    {u"%1：芯片 %2（ID %3）通过，序列号 %4，%5 秒", u"%1：晶片 %2（ID %3）通過，序列號 %4，%5 秒",
        u"%1: chip %2 (ID %3) passed, serial %4, %5 s"},
    {u"%1：芯片 %2（ID %3）失败，序列号 %4，%5 秒", u"%1：晶片 %2（ID %3）失敗，序列號 %4，%5 秒",
        u"%1: chip %2 (ID %3) failed, serial %4, %5 s"},
    {u"%1 个编程器：%2 片通过，%3 片失败", u"%1 個編程器：%2 片通過，%3 片失敗",
        u"%1 programmers: %2 chips passed, %3 failed"},
    {u"连接了多个编程器，请用 --programmer 位置 选择其中一个：", u"連接了多個編程器，請用 --programmer 位置 選擇其中一個：",
        u"Several programmers are attached; choose one with --programmer LOCATION:"},
    {u"没有连接编程器。", u"沒有連接編程器。", u"No programmer is attached."},
    {u"检测到位于 %1 的编程器，工作状态正常。", u"檢測到位於 %1 的編程器，工作狀態正常。",
        u"The programmer at %1 is detected, and the working state is normal."},
    {u"准备好 %1", u"準備好 %1", u"Ready %1"},
    {u"编程所有编程器", u"編程所有編程器", u"Program all programmers"},
    {u"开始", u"開始", u"Start"},
    {u"停止", u"停止", u"Stop"},
    {u"通过", u"通過", u"PASS"},
    {u"失败", u"失敗", u"FAIL"},
    {u"序列号 %1", u"序列號 %1", u"Serial %1"},
}};

} // namespace

int normalizedLanguage(int language)
{
    return (language >= 0 && language < LanguageCount) ? language : 0;
}

QString messageText(MessageKey key, int language)
{
    if (key < 0 || key >= MessageCount)
        return {};
    const Triple& t = Table[static_cast<size_t>(key)];
    switch (normalizedLanguage(language)) {
    case 1:
        return QString::fromUtf16(t.traditional);
    case 2:
        return QString::fromUtf16(t.english);
    default:
        return QString::fromUtf16(t.simplified);
    }
}

} // namespace kestrum
