#ifndef OXLE_HOST_ECONFIG_H
#define OXLE_HOST_ECONFIG_H

// The box's typed key-value store. Getters return 0 when the key exists (and fill
// the value), non-zero when it does not (the value is left alone).
class eConfig
{
public:
	static eConfig* getInstance();
	virtual ~eConfig() = default;

	virtual int getKey(const char* key, int& value) = 0;
	// value receives a malloc'd copy; the caller frees it with free().
	virtual int getKey(const char* key, char*& value) = 0;
	virtual int setKey(const char* key, int value) = 0;
	virtual int setKey(const char* key, const char* value) = 0;
	virtual void delKey(const char* key) = 0;
	// Writes the store to its file.
	virtual void flush() = 0;
};

#endif
