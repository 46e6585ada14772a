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
    };
    return table;
}

} // namespace kestrum
