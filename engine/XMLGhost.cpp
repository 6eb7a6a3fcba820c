#include "XMLGhost.h"

#include "Exceptions.h"

TECXMLParser& TXMLGhost::Primary() const
{
    if (!FPrimaryDocument)
        throw Exception("The ghost document has no primary document");
    return *FPrimaryDocument;
}

TXMLItem* TXMLGhost::Root() { return Primary().Root(); }

void TXMLGhost::Clear() { Primary().Clear(); }

void TXMLGhost::LoadFromFile(const std::filesystem::path& fileName) { Primary().LoadFromFile(fileName); }

void TXMLGhost::SaveToFile(const std::filesystem::path& fileName) { Primary().SaveToFile(fileName); }

void TXMLGhost::LoadFromStream(std::istream& stream) { Primary().LoadFromStream(stream); }

void TXMLGhost::SaveToStream(std::ostream& stream, bool styleSheetFile) { Primary().SaveToStream(stream, styleSheetFile); }
