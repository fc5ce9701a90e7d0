#pragma once
// Registers the checkout pages and their controls in the page factory: "PayDlg",
// "PayResultDlg", "RefundOrCloseDlg", "PrePayAuthorizationDlg", "FacePayDlg",
// "SingleProductVerificationDlg", and the controls "KeyControls" and "QRLabel".
namespace tendrix::checkout {

void RegisterCheckoutPages();

}  // namespace tendrix::checkout
