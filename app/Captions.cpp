#include "app/Captions.h"

namespace kestrum {

QString Caption::text(int language) const
{
    switch (language) {
    case 1:
        return QString::fromUtf16(traditional);
    case 2:
        return QString::fromUtf16(english);
    default:
        return QString::fromUtf16(simplified);
    }
}

QString captionText(CaptionWindow window, const char* control, int language)
{
    for (const Caption& c : captionTable()) {
        if (c.window == window && qstrcmp(c.control, control) == 0)
            return c.text(language);
    }
    return {};
}

const std::vector<Caption>& captionTable()
{
    using W = CaptionWindow;
    // The captions are shown exactly as written here, "FIll", "Cance" and "Enlish" included.
    static const std::vector<Caption> table {
        {W::Main, "panel0", u"状态", u"狀態", u"State"},
        {W::Main, "panel2", u"使用时间", u"使用時間", u"Use time"},
        {W::Main, "", u"Kestrum USB高速编程器", u"Kestrum USB高速編程器", u"Kestrum USB High Speed Programmer"},
        {W::Main, "chipGroup", u"芯片", u"芯片", u"Chip"},
        {W::Main, "typeLabel", u"类型", u"類型", u"Type"},
        {W::Main, "manufacturerLabel", u"厂商", u"廠商", u"Manufacturer"},
        {W::Main, "nameLabel", u"名称", u"名稱", u"Name"},
        {W::Main, "detectButton", u"检测", u"檢測", u"Test"},
        {W::Main, "findButton", u"查找", u"查找", u"Find"},
        {W::Main, "sizeLabel", u"容量", u"容量", u"Size"},
        {W::Main, "pageSizeLabel", u"页面大小", u"頁面大小", u"Pagesize"},
        {W::Main, "speedLabel", u"编程速度", u"編程速度", u"Speed"},
        {W::Main, "programmerLabel", u"编程器", u"編程器", u"Programmer"},
        {W::Main, "gangAction", u"编程所有编程器…", u"編程所有編程器…", u"Program all programmers…"},
        {W::Main, "autoOptionsGroup", u"自动编程选项", u"自動編程選項", u"Auto Options"},
        {W::Main, "autoEraseCheck", u"擦除", u"擦除", u"Erase"},
        {W::Main, "autoProgramCheck", u"编程", u"編程", u"Program"},
        {W::Main, "autoVerifyCheck", u"校验", u"校驗", u"Verify"},
        {W::ToolBar, "openAction", u"打开", u"打開", u"Open"},
        {W::ToolBar, "saveAction", u"保存", u"保存", u"Save"},
        {W::ToolBar, "fillAction", u"填充", u"填充", u"FIll"},
        {W::ToolBar, "blankCheckAction", u"查空", u"查空", u"Bank"},
        {W::ToolBar, "autoAction", u"自动", u"自動", u"AUTO"},
        {W::ToolBar, "eraseAction", u"擦除", u"擦除", u"ERASE"},
        {W::ToolBar, "writeAction", u"写入", u"寫入", u"Write"},
        {W::ToolBar, "readAction", u"读出", u"讀出", u"Read"},
        {W::ToolBar, "verifyAction", u"校验", u"校驗", u"Verify"},
        {W::ToolBar, "deviceAction", u"设备", u"設備", u"Device"},
        {W::ToolBar, "aboutAction", u"关于", u"關於", u"About"},
        {W::ToolBar, "stopAction", u"停止", u"停止", u"Stop"},
        {W::ToolBar, "compareAction", u"比较", u"比較", u"Compare"},
        {W::Main, "autoButton", u"自动", u"自動", u"AUTO"},
        {W::Main, "fileMenu", u"文件(&F)", u"文件(&F)", u"File(&F)"},
        {W::Main, "openAction", u"打开(&O)", u"打開(&O)", u"Open(&O)"},
        {W::Main, "saveAction", u"保存(&S)", u"保存(&S)", u"Save(&S)"},
        {W::Main, "bufferInfoAction", u"缓冲区信息(&I)", u"緩衝區資訊(&I)", u"Buffer information(&I)"},
        {W::Main, "quitAction", u"退出(&Q)", u"退出(&Q)", u"Quit(&Q)"},
        {W::Main, "bufferMenu", u"缓冲区(&B)", u"緩沖區(&B)", u"Buffer(&B)"},
        {W::Main, "fillAction", u"填充(&F)", u"填充(&F)", u"Fill(&F)"},
        {W::Main, "editMenu", u"编辑(&E)", u"編輯(&E)", u"Edit(&E)"},
        {W::Main, "undoAction", u"撤销(&U)", u"復原(&U)", u"Undo(&U)"},
        {W::Main, "redoAction", u"重做(&R)", u"重做(&R)", u"Redo(&R)"},
        {W::Main, "cutAction", u"剪切(&T)", u"剪下(&T)", u"Cut(&T)"},
        {W::Main, "copyAction", u"复制(&C)", u"複製(&C)", u"Copy(&C)"},
        {W::Main, "pasteAction", u"粘贴(&P)", u"貼上(&P)", u"Paste(&P)"},
        {W::Main, "selectAllAction", u"全选(&A)", u"全選(&A)", u"Select all(&A)"},
        {W::Main, "copyAsHexAction", u"复制为十六进制文本(&H)", u"複製為十六進位文字(&H)", u"Copy as hex text(&H)"},
        {W::Main, "pasteHexAction", u"粘贴十六进制文本(&X)", u"貼上十六進位文字(&X)", u"Paste hex text(&X)"},
        {W::Main, "insertModeAction", u"插入模式(&I)", u"插入模式(&I)", u"Insert mode(&I)"},
        {W::Main, "findAction", u"查找(&F)...", u"尋找(&F)...", u"Find(&F)..."},
        {W::Main, "replaceAction", u"替换(&E)...", u"取代(&E)...", u"Replace(&E)..."},
        {W::Main, "findNextAction", u"查找下一个(&N)", u"尋找下一個(&N)", u"Find next(&N)"},
        {W::Main, "findPreviousAction", u"查找上一个(&V)", u"尋找上一個(&V)", u"Find previous(&V)"},
        {W::Main, "goToAction", u"转到地址(&G)...", u"跳至位址(&G)...", u"Go to address(&G)..."},
        {W::Main, "selectRangeAction", u"选择范围(&S)...", u"選取範圍(&S)...", u"Select range(&S)..."},
        {W::Main, "bookmarksAction", u"书签(&K)...", u"書籤(&K)...", u"Bookmarks(&K)..."},
        {W::Main, "findTextLabel", u"查找:", u"尋找:", u"Find:"},
        {W::Main, "hexRadio", u"十六进制", u"十六進位", u"Hex"},
        {W::Main, "utf8Radio", u"文本(UTF-8)", u"文字(UTF-8)", u"Text (UTF-8)"},
        {W::Main, "codePageRadio", u"文本(代码页)", u"文字(字碼頁)", u"Text (code page)"},
        {W::Main, "matchCaseCheck", u"区分大小写", u"區分大小寫", u"Match case"},
        {W::Main, "findPreviousButton", u"上一个", u"上一個", u"Previous"},
        {W::Main, "findNextButton", u"下一个", u"下一個", u"Next"},
        {W::Main, "countButton", u"计数", u"計數", u"Count"},
        {W::Main, "replaceTextLabel", u"替换为:", u"取代為:", u"Replace with:"},
        {W::Main, "replaceButton", u"替换", u"取代", u"Replace"},
        {W::Main, "replaceAllButton", u"全部替换", u"全部取代", u"Replace all"},
        {W::Main, "operationMenu", u"操作(&O)", u"操作(&O)", u"Operation(&O)"},
        {W::Main, "autoAction", u"自动(&A)", u"自動(&A)", u"Auto(&A)"},
        {W::Main, "eraseAction", u"擦除(&E)", u"擦除(&E)", u"Erase(&E)"},
        {W::Main, "writeAction", u"写入(&W)", u"寫入(&W)", u"Write(&W)"},
        {W::Main, "readAction", u"读出(&R)", u"讀出(&R)", u"Read(&R)"},
        {W::Main, "verifyAction", u"校验(&V)", u"校驗(&V)", u"Verify(&V)"},
        {W::Main, "blankCheckAction", u"查空(&B)", u"查空(&B)", u"Bank(&B)"},
        {W::Main, "deviceAction", u"设备(&Y)", u"設備(&Y)", u"Device(&Y)"},
        {W::Main, "languageMenu", u"语言(&L)", u"語言(&L)", u"Language(&L)"},
        {W::Main, "simplifiedChineseAction", u"中文", u"中文简体", u"Simplified Chinese"},
        {W::Main, "traditionalChineseAction", u"繁體", u"中文繁體", u"Traditional Chinese"},
        {W::Main, "englishAction", u"Enlish", u"Enlish", u"Enlish"},
        {W::Main, "helpMenu", u"帮助(&H)", u"幫助(&H)", u"Help(&H)"},
        {W::Main, "aboutAction", u"关于(&A)", u"關於(&A)", u"About(&A)"},
        {W::Main, "compareAction", u"比较(&M)", u"比較(&M)", u"Compare(&M)"},
        {W::Main, "compareFileAction", u"与文件比较…(&C)", u"與檔案比較…(&C)", u"Compare with file…(&C)"},
        {W::Main, "readTwiceAction", u"读两次并比较(&T)", u"讀兩次並比較(&T)", u"Read twice and compare(&T)"},
        {W::Main, "backUpAction", u"改动芯片前先备份(&K)", u"改動芯片前先備份(&K)",
            u"Back up the chip before changing it(&K)"},
        {W::Main, "backupsAction", u"备份…(&U)", u"備份…(&U)", u"Backups…(&U)"},
        {W::Main, "logFileAction", u"日志文件…(&L)", u"日誌檔…(&L)", u"Log file…(&L)"},

        {W::ChipEditor, "", u"芯片编辑", u"芯片編輯", u"Chip Editor"},
        {W::ChipEditor, "fieldsGroup", u"配置", u"配置", u"Config"},
        {W::ChipEditor, "typeLabel", u"种类", u"種類", u"Type"},
        {W::ChipEditor, "manufacturerLabel", u"厂商", u"廠商", u"Manufacturer"},
        {W::ChipEditor, "nameLabel", u"芯片型号", u"芯片型號", u"Name"},
        {W::ChipEditor, "delayLabel", u"延时", u"延時", u"Delay"},
        {W::ChipEditor, "classLabel", u"芯片类型", u"芯片類型", u"Class"},
        {W::ChipEditor, "flashLabel", u"FLASH", u"FLASH", u"FLASH"},
        {W::ChipEditor, "flashPageLabel", u"FLASH页", u"FLASH頁", u"FLASH Page"},
        {W::ChipEditor, "voltageLabel", u"工作电压", u"工作電壓", u"Voltage"},
        {W::ChipEditor, "algorithmLabel", u"算法", u"算法", u"Algorithm"},
        {W::ChipEditor, "chipIdLabel", u"芯片ID", u"芯片ID", u"Chip ID"},
        {W::ChipEditor, "eepromLabel", u"EEPROM", u"EEPROM", u"EEPROM"},
        {W::ChipEditor, "eepromPageLabel", u"EEPROM页", u"EEPROM頁", u"EEPROM page"},
        {W::ChipEditor, "extendLabel", u"扩展关联", u"擴展關聯", u"Extend"},
        {W::ChipEditor, "deleteButton", u"删除", u"删除", u"Delete"},
        {W::ChipEditor, "addButton", u"添加", u"添加", u"Add"},
        {W::ChipEditor, "editButton", u"编辑", u"編輯", u"Edit"},
        {W::ChipEditor, "saveButton", u"保存", u"保存", u"Save"},
        {W::ChipEditor, "quitButton", u"退出", u"退出", u"Quit"},

        {W::ChipSearch, "", u"芯片选择", u"芯片選擇", u"Chip Select"},
        {W::ChipSearch, "findLabel", u"查找", u"查找", u"Find"},
        {W::ChipSearch, "selectButton", u"选择", u"選擇", u"Select"},
        {W::ChipSearch, "quitButton", u"退出", u"退出", u"Quit"},

        {W::Fill, "", u"填充", u"填充", u"Fill"},
        {W::Fill, "dataGroup", u"数据", u"數據", u"Data"},
        {W::Fill, "byteRadio", u"常量字节(8bits)", u"常量字節(8bits)", u"Byte(8bits)"},
        {W::Fill, "wordRadio", u"常量字(16bits)", u"常量字(16bits)", u"Word(16bits)"},
        {W::Fill, "randomRadio", u"随机数", u"隨機數", u"Random"},
        {W::Fill, "rangeGroup", u"范围", u"範圍", u"Range"},
        {W::Fill, "startLabel", u"开始地址", u"開始地址", u"Start ADDR"},
        {W::Fill, "endLabel", u"结束地址", u"結束地址", u"End ADDR"},
        {W::Fill, "okButton", u"确定", u"確定", u"OK"},
        {W::Fill, "cancelButton", u"取消", u"取消", u"Cance"},

        {W::GoTo, "", u"转到地址", u"跳至位址", u"Go to address"},
        {W::GoTo, "addressLabel", u"地址:", u"位址:", u"Address:"},
        {W::GoTo, "addressHintLabel", u"1000 或 0x1000: 十六进制    #4096: 十进制    +10、-#16: 相对光标",
            u"1000 或 0x1000: 十六進位    #4096: 十進位    +10、-#16: 相對游標",
            u"1000 or 0x1000: hexadecimal    #4096: decimal    +10, -#16: from the caret"},
        {W::GoTo, "okButton", u"确定", u"確定", u"OK"},
        {W::GoTo, "cancelButton", u"取消", u"取消", u"Cancel"},

        {W::SelectRange, "", u"选择范围", u"選取範圍", u"Select range"},
        {W::SelectRange, "addressLabel", u"开始地址:", u"開始位址:", u"Start:"},
        {W::SelectRange, "lengthRadio", u"长度", u"長度", u"Length"},
        {W::SelectRange, "endRadio", u"结束地址", u"結束位址", u"End"},
        {W::SelectRange, "addressHintLabel", u"1000 或 0x1000: 十六进制    #4096: 十进制    +10、-#16: 相对光标",
            u"1000 或 0x1000: 十六進位    #4096: 十進位    +10、-#16: 相對游標",
            u"1000 or 0x1000: hexadecimal    #4096: decimal    +10, -#16: from the caret"},
        {W::SelectRange, "okButton", u"确定", u"確定", u"OK"},
        {W::SelectRange, "cancelButton", u"取消", u"取消", u"Cancel"},

        {W::BookmarkList, "", u"书签", u"書籤", u"Bookmarks"},
        {W::BookmarkList, "bookmarksHintLabel", u"Ctrl+Shift+0...9 在光标处设置或清除书签，Ctrl+0...9 转到书签。",
            u"Ctrl+Shift+0...9 在游標處設定或清除書籤，Ctrl+0...9 跳至書籤。",
            u"Ctrl+Shift+0...9 sets or clears a bookmark at the caret; Ctrl+0...9 goes to it."},
        {W::BookmarkList, "goToBookmarkButton", u"转到", u"跳至", u"Go to"},
        {W::BookmarkList, "removeBookmarkButton", u"删除", u"刪除", u"Remove"},
        {W::BookmarkList, "clearBookmarksButton", u"全部清除", u"全部清除", u"Clear all"},
        {W::BookmarkList, "closeButton", u"关闭", u"關閉", u"Close"},
    };
    return table;
}

} // namespace kestrum
