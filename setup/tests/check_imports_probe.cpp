// Imports the probe DLL, so the import check must refuse it.
extern "C" __declspec(dllimport) int QvnProbeValue();

int main() {
    return QvnProbeValue() == 7 ? 0 : 1;
}
