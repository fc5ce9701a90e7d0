#pragma once
// Registers the order inquiry page "OrderCheckDlg" with the page factory.
namespace tendrix::checkout::inquiry {
void RegisterOrderCheckPage();
}
