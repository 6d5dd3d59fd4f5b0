#pragma once

// Base of the process-wide objects created once at start-up: the instance
// pointer is set while the object lives and cleared when it goes.
template <class T>
class CSingleton {
 public:
  static T* getSingletonPtr() { return ms_Singleton; }
  static T& getSingleton() { return *ms_Singleton; }

  CSingleton(const CSingleton&) = delete;
  CSingleton& operator=(const CSingleton&) = delete;

 protected:
  CSingleton() { ms_Singleton = static_cast<T*>(this); }
  ~CSingleton() { ms_Singleton = nullptr; }

 private:
  static inline T* ms_Singleton = nullptr;
};
