// The device page's search box: terminal name, address, MAC address and position.
#pragma once

class QLineEdit;
class QPushButton;

struct DevSearchControls {
    QLineEdit* EdtDevName = nullptr; // "设备名称：", contains
    QLineEdit* EdtDevIp = nullptr;   // "I P 地址：", starts with
    QLineEdit* EdtDevMac = nullptr;  // "MAC 地址：", starts with
    QLineEdit* EdtDevPos = nullptr;  // "地理位置：", contains
    QPushButton* BtnSearchDev = nullptr;
    QPushButton* BtnClearDev = nullptr;
};
