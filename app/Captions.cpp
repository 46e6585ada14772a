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
        {W::Main, "GroupBox1", u"芯片", u"芯片", u"Chip"},
        {W::Main, "Label1", u"类型", u"類型", u"Type"},
        {W::Main, "Label2", u"厂商", u"廠商", u"Manufacturer"},
        {W::Main, "Label3", u"名称", u"名稱", u"Name"},
        {W::Main, "BitBtn1", u"检测", u"檢測", u"Test"},
        {W::Main, "BitBtn2", u"查找", u"查找", u"Find"},
        {W::Main, "Label4", u"容量", u"容量", u"Size"},
        {W::Main, "Label5", u"页面大小", u"頁面大小", u"Pagesize"},
        {W::Main, "Label6", u"编程速度", u"編程速度", u"Speed"},
        {W::Main, "GroupBox2", u"自动编程选项", u"自動編程選項", u"Auto Options"},
        {W::Main, "CheckBox1", u"擦除", u"擦除", u"Erase"},
        {W::Main, "CheckBox2", u"编程", u"編程", u"Program"},
        {W::Main, "CheckBox3", u"校验", u"校驗", u"Verify"},
        {W::Main, "ToolOpen", u"打开", u"打開", u"Open"},
        {W::Main, "ToolSave", u"保存", u"保存", u"Save"},
        {W::Main, "ToolFill", u"填充", u"填充", u"FIll"},
        {W::Main, "ToolBank", u"查空", u"查空", u"Bank"},
        {W::Main, "ToolAuto", u"自动", u"自動", u"AUTO"},
        {W::Main, "ToolErase", u"擦除", u"擦除", u"ERASE"},
        {W::Main, "ToolWrite", u"写入", u"寫入", u"Write"},
        {W::Main, "ToolRead", u"读出", u"讀出", u"Read"},
        {W::Main, "ToolVerify", u"校验", u"校驗", u"Verify"},
        {W::Main, "ToolDevice", u"设备", u"設備", u"Device"},
        {W::Main, "ToolAbout", u"关于", u"關於", u"About"},
        {W::Main, "ToolStop", u"停止", u"停止", u"Stop"},
        {W::Main, "BitBtn3", u"自动", u"自動", u"AUTO"},
        {W::Main, "O1", u"文件(&F)", u"文件(&F)", u"File(&F)"},
        {W::Main, "O2", u"打开(&O)", u"打開(&O)", u"Open(&O)"},
        {W::Main, "S1", u"保存(&S)", u"保存(&S)", u"Save(&S)"},
        {W::Main, "BufferInfo", u"缓冲区信息(&I)", u"緩衝區資訊(&I)", u"Buffer information(&I)"},
        {W::Main, "Q1", u"退出(&Q)", u"退出(&Q)", u"Quit(&Q)"},
        {W::Main, "Buff", u"缓冲区(&B)", u"緩沖區(&B)", u"Buffer(&B)"},
        {W::Main, "Fill", u"填充(&F)", u"填充(&F)", u"Fill(&F)"},
        {W::Main, "O3", u"操作(&O)", u"操作(&O)", u"Operation(&O)"},
        {W::Main, "A1", u"自动(&A)", u"自動(&A)", u"Auto(&A)"},
        {W::Main, "E1", u"擦除(&E)", u"擦除(&E)", u"Erase(&E)"},
        {W::Main, "W1", u"写入(&W)", u"寫入(&W)", u"Write(&W)"},
        {W::Main, "R1", u"读出(&R)", u"讀出(&R)", u"Read(&R)"},
        {W::Main, "V1", u"校验(&V)", u"校驗(&V)", u"Verify(&V)"},
        {W::Main, "N7", u"查空(&B)", u"查空(&B)", u"Bank(&B)"},
        {W::Main, "N3", u"设备(&Y)", u"設備(&Y)", u"Device(&Y)"},
        {W::Main, "L1", u"语言(&L)", u"語言(&L)", u"Language(&L)"},
        {W::Main, "China", u"中文", u"中文简体", u"Simplified Chinese"},
        {W::Main, "fanti", u"繁體", u"中文繁體", u"Traditional Chinese"},
        {W::Main, "Enlish", u"Enlish", u"Enlish", u"Enlish"},
        {W::Main, "H1", u"帮助(&H)", u"幫助(&H)", u"Help(&H)"},
        {W::Main, "N5", u"关于(&A)", u"關於(&A)", u"About(&A)"},

        {W::ChipEditor, "", u"芯片编辑", u"芯片編輯", u"Chip Editor"},
        {W::ChipEditor, "GroupBox1", u"配置", u"配置", u"Config"},
        {W::ChipEditor, "Label1", u"种类", u"種類", u"Type"},
        {W::ChipEditor, "Label2", u"厂商", u"廠商", u"Manufacturer"},
        {W::ChipEditor, "Label3", u"芯片型号", u"芯片型號", u"Name"},
        {W::ChipEditor, "Label4", u"延时", u"延時", u"Delay"},
        {W::ChipEditor, "Label5", u"芯片类型", u"芯片類型", u"Class"},
        {W::ChipEditor, "Label6", u"FLASH", u"FLASH", u"FLASH"},
        {W::ChipEditor, "Label7", u"FLASH页", u"FLASH頁", u"FLASH Page"},
        {W::ChipEditor, "Label8", u"工作电压", u"工作電壓", u"Voltage"},
        {W::ChipEditor, "Label9", u"算法", u"算法", u"Algorithm"},
        {W::ChipEditor, "Label10", u"芯片ID", u"芯片ID", u"Chip ID"},
        {W::ChipEditor, "Label11", u"EEPROM", u"EEPROM", u"EEPROM"},
        {W::ChipEditor, "Label12", u"EEPROM页", u"EEPROM頁", u"EEPROM page"},
        {W::ChipEditor, "Label13", u"扩展关联", u"擴展關聯", u"Extend"},
        {W::ChipEditor, "BtnDelete", u"删除", u"删除", u"Delete"},
        {W::ChipEditor, "BtnAdd", u"添加", u"添加", u"Add"},
        {W::ChipEditor, "BtnEdit", u"编辑", u"編輯", u"Edit"},
        {W::ChipEditor, "BtnSave", u"保存", u"保存", u"Save"},
        {W::ChipEditor, "BtnExit", u"退出", u"退出", u"Quit"},

        {W::ChipSearch, "", u"芯片选择", u"芯片選擇", u"Chip Select"},
        {W::ChipSearch, "Label1", u"查找", u"查找", u"Find"},
        {W::ChipSearch, "BitBtn1", u"选择", u"選擇", u"Select"},
        {W::ChipSearch, "BitBtn2", u"退出", u"退出", u"Quit"},

        {W::Fill, "", u"填充", u"填充", u"Fill"},
        {W::Fill, "GroupBox1", u"数据", u"數據", u"Data"},
        {W::Fill, "RadioButton1", u"常量字节(8bits)", u"常量字節(8bits)", u"Byte(8bits)"},
        {W::Fill, "RadioButton2", u"常量字(16bits)", u"常量字(16bits)", u"Word(16bits)"},
        {W::Fill, "RadioButton3", u"随机数", u"隨機數", u"Random"},
        {W::Fill, "GroupBox2", u"范围", u"範圍", u"Range"},
        {W::Fill, "Label1", u"开始地址", u"開始地址", u"Start ADDR"},
        {W::Fill, "Label2", u"结束地址", u"結束地址", u"End ADDR"},
        {W::Fill, "BitBtn1", u"确定", u"確定", u"OK"},
        {W::Fill, "BitBtn2", u"取消", u"取消", u"Cance"},
    };
    return table;
}

} // namespace kestrum
