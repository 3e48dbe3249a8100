#pragma once
class GLTextureStorage;

// What the device needs of any of its textures (2D, cube, volume) when it binds one for sampling.
class GLBaseTexture {
public:
    virtual GLTextureStorage& Storage() = 0;

protected:
    ~GLBaseTexture() = default;
};
