#include "checkout/pages/register_pages.h"

#include "checkout/pages/feature_pages.h"
#include "checkout/pages/key_controls.h"
#include "checkout/pages/pay_dlg.h"
#include "checkout/pages/pay_result_dlg.h"
#include "checkout/pages/qr_label.h"
#include "checkout/pages/refund_dlg.h"
#include "ui/page_factory.h"

namespace tendrix::checkout {

void RegisterCheckoutPages() {
    using ui::PageFactory;
    PageFactory::Register(QStringLiteral("PayDlg"), [](QWidget* p) { return new CPayDlg(p); });
    PageFactory::Register(QStringLiteral("PayResultDlg"),
                          [](QWidget* p) { return new CPayResultDlg(p); });
    PageFactory::Register(QStringLiteral("RefundOrCloseDlg"),
                          [](QWidget* p) { return new CRefundOrCloseOrderDlg(p); });
    PageFactory::Register(QStringLiteral("PrePayAuthorizationDlg"),
                          [](QWidget* p) { return new CPrePayAuthorizationDlg(p); });
    PageFactory::Register(QStringLiteral("FacePayDlg"),
                          [](QWidget* p) { return new CFacePayDlg(p); });
    PageFactory::Register(QStringLiteral("SingleProductVerificationDlg"),
                          [](QWidget* p) { return new CSingleProductVerificationDlg(p); });
    PageFactory::Register(QStringLiteral("KeyControls"),
                          [](QWidget* p) { return new CKeyControls(p); });
    PageFactory::Register(QStringLiteral("QRLabel"), [](QWidget* p) { return new QrLabel(p); });
}

}  // namespace tendrix::checkout
