// Seams of the mail library for the tests and the bench only: a certificate authority
// file trusted beside the system's (a throw-away server certificate), and a shorter
// bound on every wait than the one the program asks for.
#pragma once

#include <string>

void EmaiTrustCertificateForTesting(const std::string& caFile);  // "" to forget it
void EmaiTimeoutForTesting(int seconds);                         // 0 to forget it
