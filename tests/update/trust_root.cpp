// Test set-up tool: adds a certificate (DER file) to the local machine's trusted root
// certificates of the Wine prefix it runs in, so that HTTPS servers of the tests are trusted.
//   trust_root CERT.der    exit status 0 when added, 1 when not, 2 on a usage error
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: trust_root CERT.der\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<BYTE> der(std::istreambuf_iterator<char>(in), {});
    HCERTSTORE store =
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    const BOOL added =
        store && !der.empty() &&
        ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), DWORD(der.size()),
                                           CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (store)
        ::CertCloseStore(store, 0);
    std::printf("trust_root: %s %s\n", argv[1], added ? "added" : "NOT added");
    return added ? 0 : 1;
}
