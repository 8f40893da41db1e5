// A window that paints a picture at its client origin as its background.
// Transparent texts on it copy the part of the picture they cover.
#ifndef PONTIRO_APP_BACKGROUNDPROVIDER_H
#define PONTIRO_APP_BACKGROUNDPROVIDER_H

class wxBitmap;

class CBackgroundProvider
{
public:
    virtual ~CBackgroundProvider() = default;
    virtual const wxBitmap* GetBackgroundPicture() const = 0;
};

#endif
