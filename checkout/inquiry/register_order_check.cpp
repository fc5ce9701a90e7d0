#include "checkout/inquiry/register_order_check.h"

#include "checkout/inquiry/order_check_dlg.h"
#include "ui/page_factory.h"

namespace tendrix::checkout::inquiry {

void RegisterOrderCheckPage() {
    ui::PageFactory::Register("OrderCheckDlg",
                              [](QWidget* parent) { return new COrderCheckDlg(parent); });
}

}  // namespace tendrix::checkout::inquiry
