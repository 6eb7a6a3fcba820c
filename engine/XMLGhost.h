#pragma once

#include "ECXMLParser.h"

// Passes every document operation on to PrimaryDocument, which it neither owns nor
// watches; using it without one fails with an exception.
class TXMLGhost : public IECXMLDocument {
public:
    TECXMLParser* PrimaryDocument() const { return FPrimaryDocument; }
    void SetPrimaryDocument(TECXMLParser* document) { FPrimaryDocument = document; }

    TXMLItem* Root() override;
    void Clear() override;
    void LoadFromFile(const std::filesystem::path& fileName) override;
    void SaveToFile(const std::filesystem::path& fileName) override;
    void LoadFromStream(std::istream& stream) override;
    void SaveToStream(std::ostream& stream, bool styleSheetFile) override;

private:
    TECXMLParser& Primary() const;

    TECXMLParser* FPrimaryDocument = nullptr;
};
